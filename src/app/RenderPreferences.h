#pragma once
// The render choices the window remembers between runs (QSettings). They
// are not effect settings, so profiles never carry them.
//
// GUI thread only, after the QApplication (and its names) exist.

#include "render/PassMode.h"

namespace tintreel {

// One pass unless "each effect in its own pass" was chosen last time.
PassMode savedPassMode();
void savePassMode(PassMode mode);

}  // namespace tintreel
