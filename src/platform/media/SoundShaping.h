#pragma once
// SoundShaping: what the sound controls do to the samples, as one gain per
// sample: the volume, the loudness gain, mute, and linear fades in and out
// (the amplitude ramps in a straight line, as FFmpeg's `afade` does by
// default). Playback and the render both shape through this, so what the
// user hears while editing is what the movie carries.
//
// Plain value; any thread.

#include <cstdint>

namespace tintreel {

struct SoundControls {
    double volumeDb = 0.0;
    bool mute = false;
    double fadeInSeconds = 0.0;
    double fadeOutSeconds = 0.0;
    double loudnessGainDb = 0.0;  // the normalising gain, once measured
    bool operator==(const SoundControls&) const = default;
    // Every control at its default: the sound can be copied untouched.
    bool leavesSoundAlone() const { return *this == SoundControls{}; }
};

class SoundShaper {
public:
    // For sound `lengthSeconds` long (from the output's start) at
    // `sampleRate`. A fade longer than half the length is shortened to
    // that half, as a watermark's is.
    SoundShaper(const SoundControls& controls, double lengthSeconds, int sampleRate);

    // The factor the sample at `sample` (counted from the output's start) is multiplied by.
    double gainAt(int64_t sample) const;
    // Shapes `frames` frames of interleaved samples, the first at `first`.
    void apply(float* interleaved, int channels, int64_t first, int frames) const;
    // The same for planar samples: one array per channel.
    void applyPlanar(float* const* planes, int channels, int64_t first, int frames) const;
    // The same for interleaved 16-bit samples, saturating at the extremes.
    void applyInt16(int16_t* interleaved, int channels, int64_t first, int frames) const;

private:
    double steadyGain_ = 1.0;
    int64_t fadeInSamples_ = 0;
    int64_t fadeOutSamples_ = 0;
    int64_t lengthSamples_ = 0;
};

}  // namespace tintreel
