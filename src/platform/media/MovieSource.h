#pragma once
// MovieSource: a movie file opened and probed once. A render takes one
// source and hands it on: its facts (a MediaAsset, copied out at open) serve
// the checks, the watermark timing and the output rules; its open container
// feeds the MovieReader that decodes it and describes the movie to the
// MovieWriter (colours, pixel shape, chapters, metadata), so the file is
// opened, and its streams probed, once per render.
//
// Ownership: the source owns its open file; readers and renders share it
// (shared_ptr), and it closes when the last of them lets go. Threads: one
// thread at a time reads through it (the reader's decoding thread while a
// reader runs); facts() is a plain value, readable from any thread.

#include <filesystem>
#include <memory>

#include "platform/media/MediaAsset.h"
#include "platform/media/SourceIdentity.h"
#include "platform/system/Result.h"

struct AVFormatContext;

namespace tintreel {

class MovieSource {
public:
    // The library's description of the failure when the file cannot be
    // opened or probed. A file without video opens: its facts say so.
    static Result<std::shared_ptr<MovieSource>> open(const std::filesystem::path& path);
    ~MovieSource();
    MovieSource(const MovieSource&) = delete;
    MovieSource& operator=(const MovieSource&) = delete;

    const std::filesystem::path& path() const;
    const MediaAsset& facts() const;
    // What tells this movie from others (SourceIdentity.h), read through
    // the open file on the first call and kept. The reading position is
    // restored, but the call must come before a reader reads the file, on
    // the thread that owns the source.
    Result<SourceIdentity> identity();

private:
    friend class MovieReader;  // decodes through the open container
    friend class MovieWriter;  // copies the movie's description
    friend class PlaybackVideo;  // decodes for live playback
    AVFormatContext& input() const;
    int videoStreamIndex() const;
    // Makes a blocking read give up (true) or read again (false).
    void interruptReads(bool interrupt);

    struct Impl;
    std::unique_ptr<Impl> impl_;
    explicit MovieSource(std::unique_ptr<Impl> impl);
};

// How many times this process has asked the library to open `path` for
// reading (every open goes through one function), failed opens included.
// Tests read it to hold a render to one open of its input.
long long inputOpenCount(const std::filesystem::path& path);

}  // namespace tintreel
