#pragma once
// Joining the slices of one movie that workers rendered apart (a reader
// limited to a FrameRange, a writer recording a slice) into one movie,
// without encoding anything again: the slices' video packets one after the
// other, and what the slices leave out copied once from the source: its
// audio, subtitles, chapters and metadata. The joined movie has the frames,
// timestamps and extras of a whole render.
//
// Slices are Matroska files, whose timestamps count milliseconds; the join
// gives each packet back the exact timestamp of the source frame it was
// rounded from, so the joined movie keeps the source's timing to the tick.
//
// Threads: any one thread; reads and writes only the files named.

#include <atomic>
#include <filesystem>
#include <vector>

#include "platform/system/Result.h"

namespace tintreel {

// The parts in slice order, or why they do not make one whole movie, naming
// the part: a part that cannot be read, has no video or no slice tag, a
// slice missing or given twice, parts of different splits (another count,
// cut from another movie or to another span, rendered with another look),
// or parts encoded differently (codec, size, stream layout, encoder
// settings). Slices of an
// older build, which record no origin, pass with the checks they allow, but
// never beside slices that record one.
Result<std::vector<std::filesystem::path>> orderSlices(const std::vector<std::filesystem::path>& parts);

enum class SourceCheck {
    Matches,      // `movie` is the one the slice records
    NotRecorded,  // the slice, of an older build, records no movie
};

// Whether `movie` is the movie `slice` was cut from, by its identity
// (SourceIdentity.h; `movie` is opened for it); fails naming both and what
// differs when it is another, or when either cannot be read.
Result<SourceCheck> checkCutFrom(const std::filesystem::path& slice, const std::filesystem::path& movie);

// Writes `output` (its container by its extension): the video packets of
// `orderedParts` in turn, unchanged, with the timestamps of the source's
// frames, and every audio and subtitle track of `audioSource` the
// container takes, packet for packet, with its chapters and metadata. Slices
// that record a span get the span's clock, and the sound encoded again and
// cut to it, the subtitles and chapters cut to it, as a render of the span. Stops
// early, as a failure, once `cancel` is raised. A failure leaves a partial
// file for the caller to remove.
Status joinSlices(const std::vector<std::filesystem::path>& orderedParts,
                  const std::filesystem::path& audioSource, const std::filesystem::path& output,
                  const std::atomic<bool>& cancel);

}  // namespace tintreel
