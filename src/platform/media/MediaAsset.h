#pragma once
// MediaAsset: the facts of a movie file that its probe gives and every user
// of it needs before it touches its pictures: duration, frame rate, the
// number of audio tracks, and the first video track's stored size, pixel
// shape and preferred transform (the rotation a player applies to show it
// upright).
//
// Ownership: a MediaAsset is a plain value copied out of a probe (open(), or
// MovieSource, which keeps the file open for the render that follows); it
// keeps no file or library object open. Threads: open() may run on any thread.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/filters/InputRotation.h"
#include "platform/system/Result.h"

namespace tintreel {

// The linear part (a, b, c, d) of a track's display matrix; translation is
// ignored. Identity by default.
struct PreferredTransform {
    double a = 1.0, b = 0.0, c = 0.0, d = 1.0;
    bool operator==(const PreferredTransform&) const = default;
};

// The shape of one stored pixel, width over height: 1:1 for square pixels
// (and when the file does not say), 4:3 for a wide picture stored narrow.
struct SampleAspect {
    int num = 1;
    int den = 1;
    double value() const { return static_cast<double>(num) / den; }
    bool operator==(const SampleAspect&) const = default;
};

struct VideoTrack {
    int width = 0;  // as stored, before orientation
    int height = 0;
    PreferredTransform transform;
    SampleAspect sampleAspect;
    double framesPerSecond = 0;  // the track's average rate; 0 when the file does not say
};

// How a track's frames are turned to stand upright, the size they have then
// and the shape of their pixels then (a quarter turn inverts it).
struct Orientation {
    InputRotation rotation = InputRotation::None;
    int width = 0;
    int height = 0;
    SampleAspect sampleAspect;
};

// The four exact transforms a camera writes map to a quarter, half or no
// turn; anything else (mirrors, shears, odd angles) is left as stored.
Orientation uprightOrientation(const VideoTrack& track);

// The upright picture's size as a player shows it: the width stretched (or
// narrowed) by the pixels' shape, to the nearest pixel; the height as it is.
struct DisplaySize {
    int width = 0;
    int height = 0;
    bool operator==(const DisplaySize&) const = default;
};
DisplaySize displaySize(const Orientation& upright);

class MediaAsset {
public:
    MediaAsset() = default;
    // Never fails: an unreadable file gives an asset with no track, duration 0
    // and the library's description in openError().
    static MediaAsset open(const std::filesystem::path& path);

    bool isReadable() const { return openError_.empty(); }
    const std::string& openError() const { return openError_; }
    double durationSeconds() const { return durationSeconds_; }
    // How long the video runs from its first frame (a container whose clock
    // starts late counts that in its own duration); 0 without video.
    double videoSeconds() const { return videoSeconds_; }
    // The video's average frames per second; 0 when unknown or without video.
    double framesPerSecond() const { return videoTrack_ ? videoTrack_->framesPerSecond : 0.0; }
    int audioTrackCount() const { return audioTracks_; }
    // What every audio track together may take per second, at most: the
    // rates the file states, else what uncompressed samples would take.
    double audioBitsPerSecondBound() const { return audioBitsPerSecondBound_; }
    // Absent when the file has no video track.
    const std::optional<VideoTrack>& firstVideoTrack() const { return videoTrack_; }
    // Fails, saying why, when the file cannot be rendered: it cannot be read,
    // or has no video track.
    Status videoStatus() const;

private:
    friend class MovieSource;  // fills in what its probe found

    std::string openError_;
    double durationSeconds_ = 0.0;
    double videoSeconds_ = 0.0;
    int audioTracks_ = 0;
    double audioBitsPerSecondBound_ = 0.0;
    std::optional<VideoTrack> videoTrack_;
};

}  // namespace tintreel
