#pragma once
// Sets one control's value by its outlet name, from text: what the command
// line's `--set NAME=VALUE` does. Pure; any thread.
//
// Numbers must parse whole and lie in the control's range; a check box takes
// 0 or 1; a pop-up takes an index or one of its item names; the colour takes
// "#rrggbb" or three components in 0..1 ("1,0.5,0"); either name of a numeric
// pair sets its number and the text the field would show for it; a text
// takes anything but a line break.

#include <optional>
#include <string>
#include <string_view>

#include "imaging/EffectSettings.h"
#include "platform/system/Result.h"

namespace tintreel {

// Fails with a one-line reason when the value does not fit the setting.
Status assignNamedSetting(EffectSettings& settings, std::string_view name, std::string_view value);

}  // namespace tintreel
