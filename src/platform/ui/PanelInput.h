#pragma once
// How the value widgets of a scrolled settings panel share the mouse wheel
// and the keyboard with the window around them.
//
// A wheel turned over a slider, a value field or a pop-up while the pointer
// passes by scrolls the panel; the widget takes the wheel only once the user
// has given it focus (a click or Tab). The undo and redo keys typed in a
// field reach the window's Undo and Redo commands, which step through the
// whole look, instead of the field's own text history.
//
// Each call parents a small event filter to `widget`, so it lives exactly as
// long as the widget. GUI thread only.

class QWidget;

namespace tintreel {

void takeWheelOnlyWhenFocused(QWidget* widget);
// For a spin box, the spin box itself: it holds the focus for its text field.
void leaveUndoKeysToWindow(QWidget* widget);

}  // namespace tintreel
