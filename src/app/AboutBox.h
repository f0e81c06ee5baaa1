#pragma once
// The About box: the program's name and version, its licence, and the
// libraries it runs on with the versions loaded at run time.
//
// GUI thread only.

#include <QString>

class QWidget;

namespace tintreel {

// The box's text, as rich text.
QString aboutText();
// Opens the box over `parent` without waiting for it (it deletes itself
// when closed); its object name is "aboutBox".
void showAboutBox(QWidget* parent);

}  // namespace tintreel
