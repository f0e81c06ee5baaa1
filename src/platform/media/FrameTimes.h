#pragma once
// FrameTimes: when each frame of a movie's first video track is shown, in
// order, in seconds from the track's first timestamp (the clock of
// TimedFrameAtTime and of a render). The timeline steps through these and
// numbers frames by them: real timestamps, so a clip of variable frame rate
// steps from one real frame to the next too.
//
// A plain value; const calls from any thread. readFrameTimes reads the
// file's packets without decoding them, on whichever thread calls it.

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <vector>

namespace tintreel {

class FrameTimes {
public:
    FrameTimes() = default;
    // Sorted and with duplicates dropped on the way in.
    explicit FrameTimes(std::vector<double> seconds);
    // What the average rate promises over `durationSeconds`: a frame every
    // 1/rate s from 0. Stands in until the file's own times are read; with no
    // rate known, only the first frame.
    static FrameTimes evenlySpaced(double framesPerSecond, double durationSeconds);

    std::size_t count() const { return seconds_.size(); }
    // The last frame's time; 0 without frames.
    double last() const { return seconds_.empty() ? 0.0 : seconds_.back(); }
    // The frame shown at `seconds`, counted from 0: the last one at or before
    // it, the first for earlier times.
    std::size_t indexAt(double seconds) const;
    double at(std::size_t index) const { return seconds_.at(index); }
    // The frame after, or before, the one shown at `seconds`; at the ends the
    // last, or first, frame itself.
    double next(double seconds) const;
    double previous(double seconds) const;

private:
    std::vector<double> seconds_;
};

// `path`'s frame times, from its video packets' presentation times (their
// decoding times where a packet has none); packets the demuxer marks to be
// dropped do not count. None when the file cannot be read or has no video
// track, or once `stop` is set (checked between packets).
std::optional<FrameTimes> readFrameTimes(const std::filesystem::path& path, const std::atomic<bool>& stop);

}  // namespace tintreel
