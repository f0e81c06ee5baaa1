#pragma once
// Putting a finished movie into another container without encoding its
// video again: the video is copied packet for packet, and every audio track
// is copied or, where the new container does not take it, re-encoded (see
// AudioTracks.h). The new file is written beside `to` and renamed into place
// (see AtomicFile.h), so `to` is either the complete movie or untouched.
//
// Threads: any thread; blocks it for the whole copy.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/media/MovieSpan.h"
#include "platform/media/SoundShaping.h"
#include "platform/system/Result.h"

namespace tintreel {

// The video codec of `movie` by FFmpeg's name ("h264"), or an error.
Result<std::string> videoCodecName(const std::filesystem::path& movie);

// Writes `from`'s video and audio into the container `to`'s extension names.
// Fails when that container cannot hold the video. With a sound plan every
// audio track is encoded again and shaped by it (AudioTracks::shapeAll).
Status remuxMovie(const std::filesystem::path& from, const std::filesystem::path& to,
                  const SoundPlan* sound = nullptr);

// As remuxMovie, for `span` of `from` only and without decoding: packets are
// copied from the key frame at or before the in point up to the out point,
// and the new file's clock starts at that key frame. Hands back how many
// seconds before the in point the copy starts.
Result<double> remuxSpan(const std::filesystem::path& from, const std::filesystem::path& to,
                         const MovieSpan& span, const SoundPlan* sound = nullptr);

}  // namespace tintreel
