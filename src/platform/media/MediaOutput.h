#pragma once
// Internal to the media layer: creating a movie file for writing, shared by
// MovieWriter, the re-mux and the join of slices, so all of them choose the
// container and copy packets the same way. (Their audio goes through AudioTracks.h.)
//
// Threads: every object here is used by one thread at a time.

#include <filesystem>

#include "platform/media/FfmpegHandles.h"
#include "platform/media/MovieSpan.h"

namespace tintreel::media {

// A muxer for `path` in the container its extension names; a name without a
// known extension still gets a complete movie, in the QuickTime container.
// Returns 0 or an FFmpeg error code.
int allocateOutput(const std::filesystem::path& path, OutputContextPtr& output);

// Writes `packet`, read from a stream of time base `from`, unchanged into
// `target` of `output`: its times rescaled, its file position dropped.
// Returns 0 or an FFmpeg error code.
int writeCopiedPacket(AVFormatContext& output, AVPacket& packet, AVRational from, const AVStream& target);

}  // namespace tintreel::media

namespace tintreel::media {

// A stretch of a source's timeline in microseconds (AV_TIME_BASE), [start,
// end): what a cut movie keeps. Its start becomes the output's time 0.
struct TimeWindow {
    int64_t start = 0;
    int64_t end = INT64_MAX;
};

// A span of a movie (seconds from its video's first timestamp) on the
// file's own timeline: what a writer cutting to it and a join of slices
// cut to it keep alike.
TimeWindow windowOf(const MovieSpan& span, const AVStream& video);

// Copies `packet` (time base `from`) into `target` as writeCopiedPacket does,
// shifted so that `window` starts at 0; a packet wholly outside the window
// is dropped (0), one that begins before it is shortened to begin at 0.
int writeCopiedPacketIn(AVFormatContext& output, AVPacket& packet, AVRational from, const AVStream& target,
                        const TimeWindow& window);

}  // namespace tintreel::media
