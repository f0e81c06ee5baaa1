#pragma once
// AudioReencoder: one source audio track decoded, resampled to what its
// encoder takes, optionally cut to a stretch of time to the sample, and
// encoded into a stream of an output movie. The copy of a track a container
// refuses and the sound of a cut movie both go through it; the cut samples
// pass one place (queueSamples) on their way to the encoder, where the sound
// controls shape them (SoundShaping.h).
//
// Internal to the media layer. Ownership: owns its decoder, resampler and
// encoder; the output context belongs to the caller and must outlive it.
// Threads: one thread at a time.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/media/FfmpegHandles.h"
#include "platform/media/MediaOutput.h"
#include "platform/media/SoundShaping.h"

namespace tintreel::media {

// What a re-encoded track becomes.
struct AudioEncoding {
    const AVCodec* codec = nullptr;
    int sampleRate = 0;                 // 0: the source's, or the first the encoder takes instead
    int64_t bitRatePerChannel = 64000;  // capped by what the codec allows at the rate
};

// A refused track's replacement: AAC, or Opus in WebM, 64 kb/s a channel.
AudioEncoding fallbackEncoding(const AVOutputFormat& format);
// The sound of a cut movie: AAC at the source's rate in the MPEG-4 family and
// most others, 96 kb/s a channel; Opus at 48 kHz in WebM and Matroska, 80 kb/s
// a channel (192 and 160 kb/s for stereo).
AudioEncoding cutEncoding(const AVOutputFormat& format);

class AudioReencoder {
public:
    // False, with `why` filled, when the track cannot be re-encoded. With a
    // window, only the samples inside it are written, the first at time 0.
    bool open(const AVStream& in, const AudioEncoding& encoding, AVFormatContext& output, std::string& why,
              std::optional<TimeWindow> window = std::nullopt);
    // Shapes every sample written from here on; `controls` over sound
    // `lengthSeconds` long. Call after open. False when the encoder takes
    // samples in a format the shaper does not know (neither float nor 16-bit).
    bool shapeWith(const SoundControls& controls, double lengthSeconds);
    int push(const AVPacket* packet);  // null drains the decoder
    int finish();

private:
    bool openEncoder(const AudioEncoding& encoding, std::string& why);
    int receiveDecoded();
    int resample(AVFrame* frame);
    int queueSamples(AVFrame& converted, int count);
    int encodeQueued(bool final);
    int encode(AVFrame* frame);

    AVFormatContext* output_ = nullptr;
    AVStream* stream_ = nullptr;
    AVRational sourceTimeBase_{1, 1};
    CodecContextPtr decoder_, encoder_;
    ResamplerPtr resampler_;
    FifoPtr fifo_;
    FramePtr decoded_ = makeFrame();
    PacketPtr packet_ = makePacket();
    int64_t nextPts_ = AV_NOPTS_VALUE;
    std::optional<TimeWindow> window_;
    // With a window: the next resampled sample's place, in samples at the
    // encoder's rate from the window's start, and the window's length in them.
    std::optional<int64_t> position_;
    int64_t windowSamples_ = INT64_MAX;
    std::optional<SoundShaper> shaper_;
    int64_t queued_ = 0;  // samples queued so far: the next one's place in the output
};

}  // namespace tintreel::media
