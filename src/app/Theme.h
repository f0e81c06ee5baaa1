#pragma once
// The editor's dark look: a palette and a small style sheet for the whole
// application. GUI thread only, before the first window is shown.

class QApplication;

namespace tintreel {

void applyDarkTheme(QApplication& app);

}  // namespace tintreel
