#pragma once
// SoundSettings: what the sound controls of EffectSettings ask of a movie's
// sound, in the terms the media layer shapes and measures it in. The render,
// the editor's playback and the command line all read the controls through
// here, so they agree on what "leaves the sound alone" means.
//
// Plain functions over values; any thread.

#include <array>
#include <optional>
#include <string_view>

#include "imaging/EffectSettings.h"
#include "platform/media/LoudnessMeter.h"
#include "platform/media/SoundShaping.h"

namespace tintreel {

// The Normalise Loudness pop-up. Index 0 leaves the loudness alone; the last
// takes the custom target.
inline constexpr std::array<std::string_view, 5> kLoudnessChoices = {
    "Off", "\u221214 LUFS (streaming)", "\u221216 LUFS", "\u221223 LUFS (broadcast, EBU R128)", "Custom"};
inline constexpr int kCustomLoudness = static_cast<int>(kLoudnessChoices.size()) - 1;

// The ranges a target and a ceiling must lie in.
inline constexpr double kQuietestTarget = -70.0, kLoudestTarget = -5.0;
inline constexpr double kLowestCeiling = -9.0, kHighestCeiling = 0.0;

// Volume, mute and fades; the loudness gain is the render's to fill in once measured.
SoundControls soundControlsOf(const EffectSettings& settings);

// The loudness the sound is brought to, when normalising is on.
std::optional<LoudnessTarget> loudnessTargetOf(const EffectSettings& settings);

// Whether any sound control differs from its default: the sound must then be
// encoded again rather than copied.
bool changesSound(const EffectSettings& settings);

// What a slice records for the join (SoundShaping.h).
SliceSound sliceSoundOf(const EffectSettings& settings);

// The pop-up index for a target typed on the command line: a named choice
// when it is one, else the custom one.
int loudnessChoiceFor(double lufs);

}  // namespace tintreel
