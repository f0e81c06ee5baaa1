#pragma once
// MovieReader: decodes a movie and, once processing starts, hands every frame
// (deinterlaced when the source is interlaced) through a frame operation to
// a MovieWriter, together with the source's audio and subtitle packets, in
// file order. Decoding, the operation and encoding are a
// pipeline of three threads, so they overlap.
//
// Frames wait between the stages in small bounded queues, so the decoder runs
// at most a few frames ahead of the writer and memory stays flat however long
// the movie.
// progress() is the fraction of the movie delivered: it advances within a
// frame (taking it, working on it, writing it) and is exactly 1.0 once every
// frame and packet has reached the writer. It stops changing when decoding
// or writing is stuck or has failed; a failure also ends delivery at once and
// is readable as failure().
//
// Ownership: the reader owns its threads and shares its source (the open
// file) with whoever handed it over; the writer and the
// operation handed to startProcessing must outlive processing (until
// stopProcessing or the reader's destruction). Threads: one controlling
// thread calls open, startProcessing, stopProcessing and the destructor;
// progress() and failure() may be read from any thread.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "platform/filters/Image.h"
#include "platform/media/MovieSlice.h"
#include "platform/media/MovieSource.h"
#include "platform/media/MovieSpan.h"
#include "platform/system/Result.h"

struct AVFormatContext;

namespace tintreel {

class MovieWriter;

// Applied to each decoded frame on the operation's own thread, with the
// frame's time in seconds from the timestamp of the video's first frame (a
// container whose clock starts later does not shift it; a frame without a
// timestamp follows the one before by one frame's duration). The result
// goes to the writer and must have the size the writer was made for.
using FrameOperation = std::function<Image(const Image& frame, double seconds)>;

class MovieReader {
public:
    // The library's description of the failure when the file cannot be
    // opened, has no video track or its video cannot be decoded.
    static Result<std::unique_ptr<MovieReader>> open(const std::filesystem::path& path);
    // Reads a source opened already, without opening its file again. The
    // reader reads it from where it stands (a fresh source: its start), so
    // a source feeds one reader.
    static Result<std::unique_ptr<MovieReader>> open(std::shared_ptr<MovieSource> source);
    ~MovieReader();
    MovieReader(const MovieReader&) = delete;
    MovieReader& operator=(const MovieReader&) = delete;

    // Limits delivery to the frames of `range` (measured from the first video
    // frame's timestamp; frames keep their own timestamps). Decoding starts at
    // the key frame before the range, so movies with few key frames split
    // too; frames before the range are decoded and dropped, and decoding stops
    // at the first frame past it. Call before startProcessing; fails when the
    // file cannot be positioned.
    Status selectRange(const FrameRange& range);
    // Limits delivery to `span` (MovieSpan.h): as selectRange, but the frame
    // shown at the in point comes first even when its timestamp lies before
    // it, audio packets are read on until every audio track has reached the
    // out point, and the operation's clock counts from the in point. The
    // writer cuts the sound and times to the same span (MovieWriter::cutTo).
    Status selectSpan(const MovieSpan& span);
    // Limits delivery to `range`, a slice of `span` (sliceRange): the
    // frames of a render cut to the span that fall in the range, the frame
    // shown at the in point with the first slice, and the operation's clock
    // counting from the in point as for the whole span. No sound is read on.
    Status selectSliceOfSpan(const MovieSpan& span, const FrameRange& range);
    // Starts the pipeline and returns at once. `onAdvance` runs on the
    // writing thread after each delivered frame, after the last one, and
    // once when a failure ends delivery. False when processing was already
    // started. Prints one line when the source has more than 8 bits per
    // sample or is HDR: the frames are 8-bit RGBA.
    bool startProcessing(FrameOperation operation, MovieWriter& writer, std::function<void()> onAdvance = {});
    // Stops every thread; once it returns nothing more reaches the writer.
    void stopProcessing();
    float progress() const;
    // Frames the writer has taken so far.
    long long framesDelivered() const;
    // Why delivery ended early: the writer's first error, or why the input
    // could not be read or decoded. Nothing while all is well; stopping is no
    // failure.
    std::optional<Error> failure() const;

private:
    friend class MovieWriter;  // reads the stream layout it copies
    const AVFormatContext& input() const;
    const MovieSource& source() const;
    int videoStreamIndex() const;

    struct Impl;
    std::unique_ptr<Impl> impl_;

    // Only open() can make the key, so only open() constructs a reader.
    struct OpenKey {
        explicit OpenKey() = default;
    };

public:
    MovieReader(OpenKey, std::unique_ptr<Impl> impl);
};

}  // namespace tintreel
