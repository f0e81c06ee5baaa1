#pragma once
// Whether the data of a movie file reaches the end its container announces.
// A file cut short (a copy that stopped, a download that broke off) reads
// like a shorter movie to most demuxers: they report a normal end of file.
// What gives it away is the length the file's header announced, kept from
// when the file was whole. Only a length stored in the file counts: one
// estimated from the bit rate or from the last timestamps says nothing
// about a cut; an MPEG transport stream, which stores no length, shows a cut
// as a last packet shorter than the fixed packet size.
//
// Not thread-safe: one StreamEnd follows one reading thread.

#include <optional>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

#include "platform/system/Result.h"

namespace tintreel::media {

class StreamEnd {
public:
    explicit StreamEnd(const AVFormatContext& input) : input_(input) {}

    // Notes how far `packet` reaches.
    void saw(const AVPacket& packet);
    // After the last packet: fails, saying why, when the data stops short of
    // the announced length ("it ends at 2.1 s of the 4.0 s its file announces").
    Status checkReachedEnd() const;

private:
    const AVFormatContext& input_;
    double reached_ = 0.0;  // the latest end of a packet, in seconds
    long long videoPackets_ = 0;
    bool videoDurationsKnown_ = false;  // a video packet carried its duration
};

// Fails, saying what is wrong, for a packet the demuxer marks as corrupt
// (incomplete or damaged in the file).
Status checkPacketWhole(const AVFormatContext& input, const AVPacket& packet);

}  // namespace tintreel::media
