#pragma once
// FrameImageAtTime, TimedFrameAtTime: one still picture of a movie, the frame
// shown at a given time, turned upright by the track's preferred transform.
//
// Stateless: every call opens the file anew and keeps nothing. Any thread.

#include <filesystem>
#include <optional>

#include "platform/filters/Image.h"

namespace tintreel {

// None when `seconds` lies past the movie's duration (nothing printed). A time
// is taken to the nearest 1/60 s; the picture is the last frame whose time is
// not after it (the first frame for earlier times), found by seeking to the
// key frame before it and decoding forward. Any other failure prints
// "Image generation failed with error " + the library's description to
// standard output and gives none.
std::optional<Image> FrameImageAtTime(const std::filesystem::path& path, double seconds);

// A decoded frame and its own presentation time, in seconds from the video
// stream's first timestamp: the clock a render gives each frame (MovieReader.h).
struct TimedFrame {
    Image image;
    double seconds = 0.0;
};

// As FrameImageAtTime, but `seconds` is taken to the stream's own tick rather
// than to 1/60 s, so a frame's own time (FrameTimes.h) finds that very frame,
// and the answer carries the time of the frame it found.
std::optional<TimedFrame> TimedFrameAtTime(const std::filesystem::path& path, double seconds);

}  // namespace tintreel
