#pragma once
// The command line's options for the frame's shape: --crop W:H:X:Y (per
// video, outside the look), and --aspect, --fill and --focus, which set the
// look's reframe controls over the profile and every --set. --preset picks
// an output preset (RenderSettings.h): its aspect, unless --aspect is given,
// and its exact size, unless --height is.
//
// Pure functions; any thread.

#include <optional>
#include <string>
#include <utility>

#include "imaging/EffectSettings.h"
#include "platform/filters/Resample.h"
#include "platform/media/RenderSettings.h"

namespace tintreel {

// What --aspect, --fill and --focus asked for; each unset keeps the look's.
struct FrameChoices {
    std::optional<std::pair<float, float>> aspect;  // W:H; {0, 0} for the original shape
    std::optional<int> fill;                        // a ReframeFill
    std::optional<RgbColor> bars;
    std::optional<std::pair<float, float>> focus;
    bool operator==(const FrameChoices&) const = default;
};

// Parses one of --crop, --aspect, --fill, --focus or --preset into the
// matching value. Nothing when `option` is none of them; else a one-line
// problem, or an empty string when the value was taken.
std::optional<std::string> takeFrameOption(const std::string& option, const std::string& value,
                                           std::optional<PixelRect>& crop, FrameChoices& choices,
                                           RenderSettings& render);

// The look with the preset's aspect (when no --aspect was given) and then
// the choices applied.
void applyFrameChoices(EffectSettings& settings, const FrameChoices& choices, const OutputPreset* preset);

// The presets as --help lists them, one line each.
std::string presetHelp();

}  // namespace tintreel
