#pragma once
// SourceIdentity: what tells one movie file from another, read cheaply from
// a file already open. Each slice of a split records the identity of the
// movie it was cut from, so the join can refuse slices of two movies, and
// a --audio-from movie that is not theirs, even when the movies share their
// size, rate and length.
//
// The identity is the picture size, the length, the tracks (kind and codec,
// in file order) and a fingerprint: a digest of the file's size and of its
// first and last 64 KiB. Those bytes hold the container's header and index
// and the first and last packets, so two different movies differ there,
// while one file gives one identity however often and wherever it is read.
// A remuxed or re-encoded copy is another file, with another identity.
//
// Plain values and pure functions, except `identify`, which reads through
// an open file on the caller's thread.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system/Result.h"

struct AVFormatContext;

namespace tintreel {

struct SourceIdentity {
    int width = 0;
    int height = 0;
    long long durationMicroseconds = 0;
    std::string tracks;       // "video h264, audio aac"
    std::string fingerprint;  // 32 hex digits

    // One line, as a slice's tag holds it; parse reads it back.
    std::string text() const;
    static std::optional<SourceIdentity> parse(std::string_view text);

    // How this identity differs from `other`, in words for a line that
    // compares the two ("20.000 s long, not 2.000 s"); the first difference
    // in the order size, length, tracks, content.
    std::string differenceFrom(const SourceIdentity& other) const;

    bool operator==(const SourceIdentity&) const = default;
};

// The identity of the movie at `movie`, opened (once) for it.
Result<SourceIdentity> readSourceIdentity(const std::filesystem::path& movie);

namespace media {

// The identity of the movie open in `input`. Its fingerprint is read through
// the open file, whose reading position is restored afterwards: a reader
// that has not read yet starts where it would have.
Result<SourceIdentity> identify(AVFormatContext& input);

}  // namespace media
}  // namespace tintreel
