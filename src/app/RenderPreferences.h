#pragma once
// The render choices the window remembers between runs (QSettings). They
// are not effect settings, so profiles never carry them.
//
// GUI thread only, after the QApplication (and its names) exist.

#include "platform/media/RenderSettings.h"
#include "render/PassMode.h"

namespace tintreel {

// One pass unless "each effect in its own pass" was chosen last time.
PassMode savedPassMode();
void savePassMode(PassMode mode);

// The Render Settings dialog's last choice; defaults for anything missing or
// not understood (a hand-edited or newer file).
RenderSettings savedRenderSettings();
void saveRenderSettings(const RenderSettings& settings);

}  // namespace tintreel
