#pragma once
// What the window says about a look's colour table: nothing when its step
// is off or the table reads, else one sentence naming the file and why.
// Reading goes through the table cache (ColorTable::load), so a file that
// did not change is read once.
//
// Any thread.

#include <optional>
#include <string>

#include "imaging/EffectSettings.h"

namespace tintreel {

std::optional<std::string> colorTableProblem(const EffectSettings& settings);

}  // namespace tintreel
