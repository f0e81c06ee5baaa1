#include "platform/media/SoundShaping.h"

#include <algorithm>
#include <cmath>

namespace tintreel {

SoundShaper::SoundShaper(const SoundControls& controls, double lengthSeconds, int sampleRate)
    : steadyGain_(controls.mute ? 0.0 : std::pow(10.0, (controls.volumeDb + controls.loudnessGainDb) / 20.0)),
      lengthSamples_(std::max<int64_t>(0, std::llround(lengthSeconds * sampleRate))) {
    const double longest = std::max(0.0, lengthSeconds) / 2.0;
    const auto samples = [&](double seconds) {
        return std::llround(std::clamp(seconds, 0.0, longest) * sampleRate);
    };
    fadeInSamples_ = samples(controls.fadeInSeconds);
    fadeOutSamples_ = samples(controls.fadeOutSeconds);
}

double SoundShaper::gainAt(int64_t sample) const {
    double fade = 1.0;
    if (sample < fadeInSamples_) fade = std::max<double>(0.0, static_cast<double>(sample)) / fadeInSamples_;
    const int64_t left = lengthSamples_ - sample;
    if (fadeOutSamples_ > 0 && left < fadeOutSamples_)
        fade = std::min(fade, std::max<double>(0.0, static_cast<double>(left)) / fadeOutSamples_);
    return steadyGain_ * fade;
}

void SoundShaper::apply(float* interleaved, int channels, int64_t first, int frames) const {
    for (int i = 0; i < frames; ++i) {
        const auto gain = static_cast<float>(gainAt(first + i));
        for (int c = 0; c < channels; ++c) interleaved[i * channels + c] *= gain;
    }
}

void SoundShaper::applyPlanar(float* const* planes, int channels, int64_t first, int frames) const {
    for (int i = 0; i < frames; ++i) {
        const auto gain = static_cast<float>(gainAt(first + i));
        for (int c = 0; c < channels; ++c) planes[c][i] *= gain;
    }
}

void SoundShaper::applyInt16(int16_t* interleaved, int channels, int64_t first, int frames) const {
    for (int i = 0; i < frames; ++i) {
        const double gain = gainAt(first + i);
        for (int c = 0; c < channels; ++c) {
            int16_t& sample = interleaved[i * channels + c];
            sample = static_cast<int16_t>(std::clamp(std::lround(sample * gain), -32768L, 32767L));
        }
    }
}

}  // namespace tintreel
