#pragma once
// SoundShaping: what the sound controls do to the samples, as one gain per
// sample: the volume, the loudness gain, mute, and linear fades in and out
// (the amplitude ramps in a straight line, as FFmpeg's `afade` does by
// default). Playback and the render both shape through this, so what the
// user hears while editing is what the movie carries.
//
// Plain value; any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/media/LoudnessMeter.h"

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

// What a render does to every audio track of its output: the controls, and
// each track's own normalising gain (in track order; a track beyond the list
// keeps its level), over sound `lengthSeconds` long.
struct SoundPlan {
    SoundControls controls;
    std::vector<double> trackGainsDb;
    double lengthSeconds = 0;
    // The controls for audio track `track` (from 0), its gain included.
    SoundControls forTrack(int track) const {
        SoundControls own = controls;
        if (track >= 0 && track < static_cast<int>(trackGainsDb.size())) own.loudnessGainDb = trackGainsDb[track];
        return own;
    }
};

// What a slice records of the sound controls, for the join to apply once to
// the whole movie: the controls, and the loudness target when normalising.
struct SliceSound {
    SoundControls controls;
    std::optional<LoudnessTarget> loudness;
    bool operator==(const SliceSound&) const = default;
    bool leavesSoundAlone() const { return controls.leavesSoundAlone() && !loudness; }
};
// As one line of text for a file tag, and back; text that is not such a line gives nothing.
std::string renderSliceSound(const SliceSound& sound);
std::optional<SliceSound> parseSliceSound(std::string_view text);

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
