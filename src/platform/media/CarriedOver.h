#pragma once
// Internal to the media layer: what a rendered movie takes over from its
// source besides pictures and sound: the pixels' shape (sample aspect
// ratio), subtitle streams the output container accepts (copied packet for
// packet), chapters, and the movie's metadata such as its creation time.
// MovieWriter calls these while it sets up its file, before the header is
// written. Any thread, one output at a time.

#include <vector>

#include "platform/media/FfmpegHandles.h"
#include "platform/media/MediaOutput.h"

namespace tintreel::media {

// The sample aspect ratio for upright frames of `video`: the stored one,
// inverted when the picture is turned a quarter; 1:1 when the source has none.
AVRational uprightSampleAspect(const AVStream& video);

// Adds one output stream per subtitle stream of `source` whose codec the
// container takes as it is; prints one line for each that it does not.
// Returns source stream index -> output stream index, or -1.
std::vector<int> addSubtitleStreams(AVFormatContext& output, const AVFormatContext& source);

// The output stream `map` gives source stream `sourceIndex`, or -1; a
// stream the source announced only after the output was set up has none.
inline int copiedStream(const std::vector<int>& map, int sourceIndex) {
    return sourceIndex >= 0 && sourceIndex < static_cast<int>(map.size()) ? map[sourceIndex] : -1;
}

// Copies the chapters and the movie-level metadata (title, creation time,
// ...) except the facts about the old file's own making (encoder, brands).
// With a window, only the chapters that reach into it, cut to it and moved
// to its clock. 0 or an error code.
int copyChaptersAndMetadata(AVFormatContext& output, const AVFormatContext& source,
                            const TimeWindow* window = nullptr);

}  // namespace tintreel::media
