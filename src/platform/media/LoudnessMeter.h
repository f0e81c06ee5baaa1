#pragma once
// LoudnessMeter: the integrated loudness (ITU-R BS.1770, gated, in LUFS) and
// the true peak (dBTP) of every audio track of a movie, over a span of it.
// Only the sound is decoded: the demuxer drops every other stream's packets.
//
// The loudness is libebur128's; the true peak is found the way the ffmpeg
// program's `ebur128` meter finds it (the sound resampled to 192 kHz by
// FFmpeg's resampler), so the peak we aim under is the peak a user would read.
//
// Pure function over a file; any thread. Cancelling returns an error.

#include <atomic>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/Result.h"

namespace tintreel {

// The meter's floor: a track this quiet (silence, or sound too short for one
// 400 ms block) has no loudness a gain could bring to a target.
inline constexpr double kSilentLufs = -70.0;

struct TrackLoudness {
    int track = 0;  // the audio track's number, from 0
    double integratedLufs = kSilentLufs;
    double truePeakDbtp = -std::numeric_limits<double>::infinity();
    bool measurable() const { return integratedLufs > kSilentLufs; }
};

struct MeasureSpan {
    double fromSeconds = 0.0;
    double toSeconds = std::numeric_limits<double>::infinity();
};

struct MeasureControl {
    const std::atomic<bool>* cancel = nullptr;
    std::function<void(double fraction)> progress;  // 0..1, from the reading thread
};

// One entry per audio track, in track order; empty for a movie without sound.
Result<std::vector<TrackLoudness>> measureLoudness(const std::filesystem::path& movie, MeasureSpan span = {},
                                                   const MeasureControl& control = {});

// The readings as text, one line per track, and back: what the editor keeps
// in its cache. Text that is not such a rendering gives nothing.
std::string renderLoudness(const std::vector<TrackLoudness>& tracks);
std::optional<std::vector<TrackLoudness>> parseLoudness(std::string_view text);

// Encoding the sound again moves its peaks by a few tenths of a decibel, so
// the gain keeps this much below the ceiling.
inline constexpr double kEncodingHeadroomDb = 0.3;

struct LoudnessTarget {
    double lufs = -14.0;
    double ceilingDbtp = -1.0;
    bool operator==(const LoudnessTarget&) const = default;
};

struct NormalisingGain {
    double gainDb = 0.0;
    // How far the result stays under the target because the ceiling held
    // the gain back; 0 when it reaches the target.
    double shortOfTargetDb = 0.0;
};

// The one constant gain that brings `measured` to the target, lowered so the
// true peak stays under the ceiling. A track without measurable loudness
// keeps its level.
NormalisingGain normalisingGain(const TrackLoudness& measured, const LoudnessTarget& target);

}  // namespace tintreel
