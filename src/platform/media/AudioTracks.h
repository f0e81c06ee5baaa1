#pragma once
// AudioTracks: every audio track of a source movie, carried into an output
// movie. A track whose codec the output container accepts is copied packet
// for packet; any other is decoded and re-encoded (AAC, or Opus in WebM) with
// one printed line saying so, so audio is never dropped without a word. Only
// a track that cannot even be decoded is left out, also with a line.
//
// Internal to the media layer (MovieWriter, remuxMovie). Ownership: owns the
// decoders and encoders of re-encoded tracks; the format contexts belong to
// the caller and must outlive this object. Threads: one thread at a time.

#include <memory>
#include <optional>

#include "platform/media/MediaOutput.h"
#include "platform/media/SoundShaping.h"

struct AVFormatContext;
struct AVPacket;

namespace tintreel {

class AudioTracks {
public:
    AudioTracks();
    ~AudioTracks();
    AudioTracks(const AudioTracks&) = delete;
    AudioTracks& operator=(const AudioTracks&) = delete;

    // Every track is re-encoded at `bitsPerSecond` (each), even one the
    // container would take as it is: a file of a given size has no room for
    // the source's sound. Call before add.
    void reencodeAllAt(long long bitsPerSecond);
    // Every track is re-encoded (AudioReencoder.h's cutEncoding) and shaped
    // by `plan`, track by track. Call before add.
    void shapeAll(const SoundPlan& plan);
    // Adds one output track per audio track of `source`; call before the
    // output's header is written. With a window every track is re-encoded
    // (AudioReencoder.h's cutEncoding) and keeps only the samples inside it.
    void add(const AVFormatContext& source, AVFormatContext& output,
             std::optional<media::TimeWindow> window = std::nullopt);
    // Writes `packet` of a source stream to its output track (copied or
    // re-encoded); packets of other streams are ignored. Both return 0 or
    // FFmpeg's (negative) error code, as the writers around them keep it.
    int write(AVPacket& packet);
    // Drains the re-encoders; call once, before the output's trailer.
    int finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tintreel
