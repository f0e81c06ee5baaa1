#include "platform/ui/PanelInput.h"

#include <QKeyEvent>
#include <QWidget>

namespace tintreel {
namespace {

// An ignored event that a filter consumed travels on to the parent widgets,
// as the application delivers a wheel: the scroll area gets it.
class WheelOnlyWhenFocused : public QObject {
public:
    explicit WheelOnlyWhenFocused(QWidget* widget) : QObject(widget), widget_(widget) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != widget_ || event->type() != QEvent::Wheel || widget_->hasFocus()) return false;
        event->ignore();
        return true;
    }

private:
    QWidget* widget_;
};

// A field accepts the shortcut override of the keys it edits with, which
// keeps them from the window's commands; refusing it here lets them through.
class UndoKeysToWindow : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->matches(QKeySequence::Undo) && !key->matches(QKeySequence::Redo)) return false;
        event->ignore();
        return true;
    }
};

}  // namespace

void takeWheelOnlyWhenFocused(QWidget* widget) {
    // A wheel would otherwise hand a wheel-focus widget the focus first.
    if (widget->focusPolicy() == Qt::WheelFocus) widget->setFocusPolicy(Qt::StrongFocus);
    widget->installEventFilter(new WheelOnlyWhenFocused(widget));
}

void leaveUndoKeysToWindow(QWidget* widget) {
    widget->installEventFilter(new UndoKeysToWindow(widget));
}

}  // namespace tintreel
