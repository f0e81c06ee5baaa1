#pragma once
// MovieReader: decodes a movie on its own thread and, once processing starts,
// hands every frame through a frame operation to a MovieWriter on a delivery
// thread, together with the source's audio packets, in file order.
//
// Decoded frames wait in a bounded queue, so the decoder runs at most a few
// frames ahead of the writer and memory stays flat however long the movie.
// progress() is the fraction of the movie delivered: it advances within a
// frame (taking it, working on it, writing it) and is exactly 1.0 once every
// frame and packet has reached the writer. It stops changing when decoding
// or writing is stuck or has failed; a failure also ends delivery at once and
// is readable as failure().
//
// Ownership: the reader owns its threads and its file; the writer and the
// operation handed to startProcessing must outlive processing (until
// stopProcessing or the reader's destruction). Threads: one controlling
// thread calls open, startProcessing, stopProcessing and the destructor;
// progress() and failure() may be read from any thread.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "platform/filters/Image.h"
#include "platform/system/Result.h"

struct AVFormatContext;

namespace tintreel {

class MovieWriter;

// Applied to each decoded frame on the delivery thread; the result goes to
// the writer and must have the size the writer was made for.
using FrameOperation = std::function<Image(const Image&)>;

class MovieReader {
public:
    // The library's description of the failure when the file cannot be
    // opened, has no video track or its video cannot be decoded.
    static Result<std::unique_ptr<MovieReader>> open(const std::filesystem::path& path);
    ~MovieReader();
    MovieReader(const MovieReader&) = delete;
    MovieReader& operator=(const MovieReader&) = delete;

    // Starts decoding and delivery and returns at once. `onAdvance` runs on
    // the delivery thread after each delivered frame, after the last one, and
    // once when a failure ends delivery. False when processing was already
    // started.
    bool startProcessing(FrameOperation operation, MovieWriter& writer, std::function<void()> onAdvance = {});
    // Stops both threads; once it returns nothing more reaches the writer.
    void stopProcessing();
    float progress() const;
    // Why delivery ended early: the writer's first error, or why the input
    // could not be read or decoded. Nothing while all is well; stopping is no
    // failure.
    std::optional<Error> failure() const;

private:
    friend class MovieWriter;  // reads the stream layout it copies
    const AVFormatContext& input() const;
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
