#pragma once
// PlaybackVideo: the frames of a movie for live playback, one after the
// other from any position, each turned upright and shrunk to the preview's
// scale on the way out of the decoder.
//
// A seek is exact: the next frame is the last one whose time is at or before
// the position asked for (the first frame for earlier times), as the still
// preview picks it. Times are seconds from the first video frame's
// timestamp, the clock the render hands its effects.
//
// Ownership: shares the open source and reads through it, so the source
// feeds this reader alone while it lives. Threads: one thread at a time
// (playback's decoding thread).

#include <memory>
#include <optional>

#include "platform/filters/Image.h"
#include "platform/media/MovieSource.h"
#include "platform/system/Result.h"

namespace tintreel {

struct PlaybackFrame {
    Image picture;
    double seconds = 0.0;
    long long index = 0;  // the frame's number at the movie's frame rate, from 0
};

class PlaybackVideo {
public:
    // Fails when the source has no video track or its video cannot be decoded.
    static Result<std::unique_ptr<PlaybackVideo>> open(std::shared_ptr<MovieSource> source);
    ~PlaybackVideo();
    PlaybackVideo(const PlaybackVideo&) = delete;
    PlaybackVideo& operator=(const PlaybackVideo&) = delete;

    Status seek(double seconds);
    // The next frame, its picture `shrink` (1, 2, 4...) times smaller on each
    // side; none at the movie's end. Fails, saying why, where the movie is
    // damaged or cut short (its packets stop before the length it announces):
    // the frames before were good.
    Result<std::optional<PlaybackFrame>> next(int shrink);
    double framesPerSecond() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    explicit PlaybackVideo(std::unique_ptr<Impl> impl);
};

}  // namespace tintreel
