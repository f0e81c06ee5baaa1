#include "platform/media/SoundShaping.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

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

std::string renderSliceSound(const SliceSound& sound) {
    const SoundControls& c = sound.controls;
    char text[160];
    std::snprintf(text, sizeof text, "volume=%.17g mute=%d fade-in=%.17g fade-out=%.17g", c.volumeDb, c.mute ? 1 : 0,
                  c.fadeInSeconds, c.fadeOutSeconds);
    std::string line = text;
    if (sound.loudness) {
        std::snprintf(text, sizeof text, " loudness=%.17g ceiling=%.17g", sound.loudness->lufs,
                      sound.loudness->ceilingDbtp);
        line += text;
    }
    return line;
}

std::optional<SliceSound> parseSliceSound(std::string_view text) {
    std::istringstream words{std::string(text)};
    SliceSound sound;
    LoudnessTarget target;
    int seen = 0, targetSeen = 0;
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        if (equals == std::string::npos) return std::nullopt;
        const std::string key = word.substr(0, equals);
        double value = 0;
        std::istringstream number(word.substr(equals + 1));
        if (!(number >> value) || !number.eof() || !std::isfinite(value)) return std::nullopt;
        if (key == "volume") sound.controls.volumeDb = value, ++seen;
        else if (key == "mute") sound.controls.mute = value != 0, ++seen;
        else if (key == "fade-in") sound.controls.fadeInSeconds = value, ++seen;
        else if (key == "fade-out") sound.controls.fadeOutSeconds = value, ++seen;
        else if (key == "loudness") target.lufs = value, ++targetSeen;
        else if (key == "ceiling") target.ceilingDbtp = value, ++targetSeen;
        else return std::nullopt;
    }
    if (seen != 4 || (targetSeen != 0 && targetSeen != 2)) return std::nullopt;
    if (targetSeen == 2) sound.loudness = target;
    return sound;
}

}  // namespace tintreel
