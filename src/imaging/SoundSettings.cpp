#include "imaging/SoundSettings.h"

#include <algorithm>
#include <cmath>

namespace tintreel {
namespace {

// The targets of the named choices, by pop-up index (0 and the custom one have none).
constexpr std::array<double, kLoudnessChoices.size()> kChoiceTargets = {0, -14, -16, -23, 0};

}  // namespace

SoundControls soundControlsOf(const EffectSettings& settings) {
    SoundControls controls;
    controls.volumeDb = settings.sliderVolume;
    controls.mute = settings.checkMute != 0;
    controls.fadeInSeconds = std::max(0.0f, settings.stepperAudioFadeIn);
    controls.fadeOutSeconds = std::max(0.0f, settings.stepperAudioFadeOut);
    return controls;
}

std::optional<LoudnessTarget> loudnessTargetOf(const EffectSettings& settings) {
    const int choice = settings.comboLoudness;
    if (choice <= 0 || choice > kCustomLoudness) return std::nullopt;
    LoudnessTarget target;
    target.lufs = choice == kCustomLoudness ? settings.stepperLoudnessTarget : kChoiceTargets[choice];
    target.lufs = std::clamp(target.lufs, kQuietestTarget, kLoudestTarget);
    target.ceilingDbtp = std::clamp<double>(settings.stepperTruePeak, kLowestCeiling, kHighestCeiling);
    return target;
}

bool changesSound(const EffectSettings& settings) {
    return !soundControlsOf(settings).leavesSoundAlone() || loudnessTargetOf(settings).has_value();
}

SliceSound sliceSoundOf(const EffectSettings& settings) {
    return {soundControlsOf(settings), loudnessTargetOf(settings)};
}

int loudnessChoiceFor(double lufs) {
    for (int choice = 1; choice < kCustomLoudness; ++choice)
        if (std::abs(kChoiceTargets[choice] - lufs) < 1e-6) return choice;
    return kCustomLoudness;
}

}  // namespace tintreel
