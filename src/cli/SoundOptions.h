#pragma once
// The command line's short forms of the sound controls: --volume DB, --mute,
// --loudness LUFS and --true-peak DBTP. They set the look's sound controls
// over the profile and every --set, as --aspect does the reframe's.
//
// Pure functions; any thread.

#include <optional>
#include <string>

#include "imaging/EffectSettings.h"

namespace tintreel {

// What the options asked for; each unset keeps the look's.
struct SoundChoices {
    std::optional<float> volumeDb;
    bool mute = false;
    std::optional<double> loudnessLufs;
    std::optional<double> truePeakDbtp;
    bool operator==(const SoundChoices&) const = default;
};

// Parses one of --volume, --loudness or --true-peak. Nothing when `option`
// is none of them; else a one-line problem, or an empty string when the
// value was taken.
std::optional<std::string> takeSoundOption(const std::string& option, const std::string& value,
                                           SoundChoices& choices);

void applySoundChoices(EffectSettings& settings, const SoundChoices& choices);

}  // namespace tintreel
