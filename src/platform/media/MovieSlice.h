#pragma once
// One long movie split over several workers: each renders one slice, the
// frames whose timestamps fall in a stretch of the video's time, and a join
// puts the slices back together. The facts both sides must agree on live
// here: how a slice is numbered and written in text ("2/3"), which stretch of
// time it covers, and the tags that name it and its split inside its file.
//
// Plain values and pure functions: any thread.

#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "platform/media/MovieSpan.h"
#include "platform/media/SourceIdentity.h"
#include "platform/system/Result.h"

namespace tintreel {

// Seconds from the timestamp of the video's first frame; a frame belongs to
// the range when its timestamp t satisfies start <= t < end. The open ends
// let the first and the last slice take every frame before or after them.
struct FrameRange {
    double start = -std::numeric_limits<double>::infinity();
    double end = std::numeric_limits<double>::infinity();
};

// The index-th of count slices, counted from 1.
struct SliceNumber {
    int index = 1;
    int count = 1;

    // "index/count"; the inverse of parse.
    std::string text() const;
    // Two whole numbers with 1 <= index <= count, as "K/N"; nothing otherwise.
    static std::optional<SliceNumber> parse(std::string_view text);
    bool operator==(const SliceNumber&) const = default;
};

// The stretch of a video of `durationSeconds` that slice `number` covers: one
// of count equal parts. Neighbouring slices compute their shared boundary
// with the same arithmetic, so every frame lands in exactly one slice.
FrameRange sliceRange(const SliceNumber& number, double durationSeconds);
// The same within `span` (a render cut to [in, out)): equal parts of its
// length, in the movie's seconds. The first slice's start stays open, as the
// span's first frame is the one shown at `in` (MovieReader::selectSliceOfSpan);
// the last's end is open too and the span's out point closes it.
FrameRange sliceRange(const SliceNumber& number, const MovieSpan& span);

// A span as a slice records it: "in out", each in the shortest text that
// reads back as the same number; the inverse of parseSliceSpan.
std::string sliceSpanText(const MovieSpan& span);
std::optional<MovieSpan> parseSliceSpan(std::string_view text);

// What makes slices parts of one split beyond their count: the movie they
// were cut from, the span of it they cover and the look that made their
// pictures. Slices of a split record the same origin whichever slice they are.
struct SliceOrigin {
    SourceIdentity source;
    std::string look;   // a digest of the look's settings and watermark picture
    std::string sound;  // the sound controls the join applies (renderSliceSound); empty: copied
    std::optional<MovieSpan> span =
        std::nullopt;  // the --from/--to cut the slices split; none: the whole movie
    bool operator==(const SliceOrigin&) const = default;
};

// A slice to render: which one it is, its frames, and its split.
struct MovieSlice {
    SliceNumber number;
    FrameRange range;
    SliceOrigin origin = {};
};

// Fails, saying why, when `movie` cannot be cut into slices exactly. A
// slice places frames by their presentation times, so a video whose packets
// lack them (B-frames packed in AVI, for one) cannot be cut: its decoder
// guesses times that shift after a seek. Reads the first packets only, from
// a file of its own: the render's source must still stand at its start.
Status checkSliceable(const std::filesystem::path& movie);

// The file tags of the movie a worker wrote: the slice's number, its origin
// (the source's identity as SourceIdentity::text, the look's digest, the
// span when the render was cut to one) and how it was encoded. Slices written before the origin was recorded
// carry the number alone.
inline constexpr std::string_view kSliceTag = "tintreel_slice";
inline constexpr std::string_view kSliceSourceTag = "tintreel_slice_source";
inline constexpr std::string_view kSliceLookTag = "tintreel_slice_look";
inline constexpr std::string_view kSliceEncodingTag = "tintreel_slice_encoding";
inline constexpr std::string_view kSliceSoundTag = "tintreel_slice_sound";
inline constexpr std::string_view kSliceSpanTag = "tintreel_slice_span";

}  // namespace tintreel
