#pragma once
// Builds the settings panel (one tab per part of the catalogue: adjustments,
// effects, transforms, text watermark, image watermark) with one widget per
// catalogue control, each registered in the outlets under its name.
//
// GUI thread only.

#include <string>
#include <string_view>

class QTabWidget;
class QWidget;

namespace tintreel {

class Dialogs;
class Outlets;

QTabWidget* buildSettingsTabs(Outlets& outlets, Dialogs& dialogs, QWidget* parent);

// The outlet of the note under the font pop-up.
inline constexpr std::string_view kFontNoteName = "labelTextFontSubstitute";
// The line under the sound controls: the loudness measured, or why they are off.
inline constexpr std::string_view kSoundNoteName = "labelSoundNote";
// The frame holding the sound controls.
inline constexpr std::string_view kSoundGroupName = "groupAudio";

// The outlet name of the value field beside a slider ("sliderHue" gives
// "sliderHueField").
inline std::string sliderFieldName(std::string_view sliderOutlet) { return std::string(sliderOutlet) + "Field"; }

}  // namespace tintreel
