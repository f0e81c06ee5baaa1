#pragma once
// Internal to the media layer: creating a movie file for writing and copying
// a source's audio into it packet for packet. Shared by MovieWriter and the
// join of slices, so both choose the container and carry audio the same way.
//
// Threads: every object here is used by one thread at a time.

#include <filesystem>
#include <vector>

#include "platform/media/FfmpegHandles.h"

namespace tintreel::media {

// A muxer for `path` in the container its extension names; a name without a
// known extension still gets a complete movie, in the QuickTime container.
// Returns 0 or an FFmpeg error code.
int allocateOutput(const std::filesystem::path& path, OutputContextPtr& output);

// One copied track in an output per audio track of a source that the output's
// container accepts as it is; the tracks it leaves out are logged, one line each.
class AudioCopy {
public:
    // Adds the tracks; call before the output's header is written.
    void addTracks(AVFormatContext& output, const AVFormatContext& source);
    // Writes a packet of the source into its track, its timestamps in the
    // track's time base; packets of streams without a track are dropped.
    // Returns 0 or an FFmpeg error code.
    int write(AVFormatContext& output, AVPacket& packet) const;

private:
    std::vector<int> trackOf_;  // source stream index -> output stream index, or -1
    std::vector<AVRational> sourceTimeBases_;
};

}  // namespace tintreel::media
