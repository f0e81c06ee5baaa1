#include "platform/media/AudioTracks.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/media/FfmpegHandles.h"
#include "platform/media/MediaOutput.h"
#include "platform/media/MuxerRules.h"
#include "platform/system/Log.h"

namespace tintreel {
using namespace media;

namespace {

// What audio the container gets when its source's cannot be copied.
const AVCodec* fallbackEncoder(const AVOutputFormat& format) {
    if (std::strcmp(format.name, "webm") == 0) return avcodec_find_encoder_by_name("libopus");
    return avcodec_find_encoder(AV_CODEC_ID_AAC);
}

// `wanted` when the encoder takes it (or lists nothing), else its first listed rate.
int supportedRate(const AVCodec& encoder, int wanted) {
    if (!encoder.supported_samplerates) return wanted;
    for (const int* rate = encoder.supported_samplerates; *rate; ++rate)
        if (*rate == wanted) return wanted;
    return encoder.supported_samplerates[0];
}

// One source track decoded, resampled to what its encoder takes, and encoded
// in frames of the encoder's size.
class Reencoder {
public:
    // False, with `why` filled, when the track cannot be re-encoded.
    // `bitsPerSecond` 0: a rate by the channel count.
    bool open(const AVStream& in, const AVCodec& codec, AVFormatContext& output, long long bitsPerSecond,
              std::string& why);
    int push(const AVPacket* packet);  // null drains
    int finish();

private:
    int receiveDecoded();
    int resample(AVFrame* frame);
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
};

bool Reencoder::open(const AVStream& in, const AVCodec& codec, AVFormatContext& output,
                     long long bitsPerSecond, std::string& why) {
    output_ = &output;
    sourceTimeBase_ = in.time_base;
    const AVCodec* decoder = avcodec_find_decoder(in.codecpar->codec_id);
    decoder_.reset(decoder ? avcodec_alloc_context3(decoder) : nullptr);
    if (!decoder_ || avcodec_parameters_to_context(decoder_.get(), in.codecpar) < 0 ||
        avcodec_open2(decoder_.get(), decoder, nullptr) < 0)
        return why = "it cannot be decoded", false;
    decoder_->pkt_timebase = in.time_base;
    encoder_.reset(avcodec_alloc_context3(&codec));
    if (!encoder_) return why = "out of memory", false;
    encoder_->sample_fmt = codec.sample_fmts ? codec.sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    encoder_->sample_rate = supportedRate(codec, decoder_->sample_rate > 0 ? decoder_->sample_rate : 48000);
    if (decoder_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || decoder_->ch_layout.nb_channels <= 0)
        av_channel_layout_default(&encoder_->ch_layout, std::max(1, decoder_->ch_layout.nb_channels));
    else
        av_channel_layout_copy(&encoder_->ch_layout, &decoder_->ch_layout);
    encoder_->bit_rate = bitsPerSecond > 0 ? bitsPerSecond : 64000LL * encoder_->ch_layout.nb_channels;
    encoder_->time_base = {1, encoder_->sample_rate};
    if (output.oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int error = avcodec_open2(encoder_.get(), &codec, nullptr); error < 0)
        return why = errorText(error), false;
    stream_ = avformat_new_stream(&output, nullptr);
    if (!stream_ || avcodec_parameters_from_context(stream_->codecpar, encoder_.get()) < 0)
        return why = "out of memory", false;
    stream_->time_base = encoder_->time_base;
    fifo_.reset(av_audio_fifo_alloc(encoder_->sample_fmt, encoder_->ch_layout.nb_channels, 1));
    return fifo_ != nullptr || (why = "out of memory", false);
}

int Reencoder::push(const AVPacket* packet) {
    const int sent = avcodec_send_packet(decoder_.get(), packet);
    // A damaged packet loses its own few milliseconds, not the track.
    if (sent < 0 && sent != AVERROR_INVALIDDATA) return sent;
    return receiveDecoded();
}

int Reencoder::receiveDecoded() {
    while (true) {
        const int status = avcodec_receive_frame(decoder_.get(), decoded_.get());
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return 0;
        if (status < 0) return status;
        if (nextPts_ == AV_NOPTS_VALUE) {
            const int64_t start = decoded_->best_effort_timestamp;
            nextPts_ =
                start == AV_NOPTS_VALUE ? 0 : av_rescale_q(start, sourceTimeBase_, encoder_->time_base);
        }
        const int resampled = resample(decoded_.get());
        av_frame_unref(decoded_.get());
        if (resampled < 0) return resampled;
        if (int error = encodeQueued(false); error < 0) return error;
    }
}

// Converts `frame` (null: the resampler's remainder) and queues the result.
int Reencoder::resample(AVFrame* frame) {
    if (!resampler_) {
        if (!frame) return 0;
        SwrContext* raw = nullptr;
        int error = swr_alloc_set_opts2(
            &raw, &encoder_->ch_layout, encoder_->sample_fmt, encoder_->sample_rate, &frame->ch_layout,
            static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        resampler_.reset(raw);
        if (error < 0 || (error = swr_init(resampler_.get())) < 0) return error;
    }
    FramePtr converted = makeFrame();
    converted->format = encoder_->sample_fmt;
    converted->sample_rate = encoder_->sample_rate;
    if (int error = av_channel_layout_copy(&converted->ch_layout, &encoder_->ch_layout); error < 0)
        return error;
    converted->nb_samples = swr_get_out_samples(resampler_.get(), frame ? frame->nb_samples : 0);
    if (converted->nb_samples <= 0) return 0;
    if (int error = av_frame_get_buffer(converted.get(), 0); error < 0) return error;
    const int samples = swr_convert(resampler_.get(), converted->data, converted->nb_samples,
                                    frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                                    frame ? frame->nb_samples : 0);
    if (samples < 0) return samples;
    return av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(converted->data), samples) < 0
               ? AVERROR(ENOMEM)
               : 0;
}

// Encodes whole encoder frames from the queue; `final` also takes the last
// short one, padded with silence when the encoder needs whole frames.
int Reencoder::encodeQueued(bool final) {
    const int frameSize = encoder_->frame_size > 0 ? encoder_->frame_size : 1024;
    const bool takesShortLast = encoder_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
    while (av_audio_fifo_size(fifo_.get()) >= frameSize || (final && av_audio_fifo_size(fifo_.get()) > 0)) {
        const int available = std::min(frameSize, av_audio_fifo_size(fifo_.get()));
        FramePtr chunk = makeFrame();
        chunk->format = encoder_->sample_fmt;
        chunk->sample_rate = encoder_->sample_rate;
        chunk->nb_samples = takesShortLast ? available : frameSize;
        if (int error = av_channel_layout_copy(&chunk->ch_layout, &encoder_->ch_layout); error < 0)
            return error;
        if (int error = av_frame_get_buffer(chunk.get(), 0); error < 0) return error;
        av_samples_set_silence(chunk->extended_data, 0, chunk->nb_samples, chunk->ch_layout.nb_channels,
                               encoder_->sample_fmt);
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(chunk->extended_data), available);
        chunk->pts = nextPts_;
        nextPts_ += available;
        if (int error = encode(chunk.get()); error < 0) return error;
    }
    return 0;
}

int Reencoder::encode(AVFrame* frame) {
    if (int error = avcodec_send_frame(encoder_.get(), frame); error < 0) return error;
    while (true) {
        const int status = avcodec_receive_packet(encoder_.get(), packet_.get());
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return 0;
        if (status < 0) return status;
        av_packet_rescale_ts(packet_.get(), encoder_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        if (int error = av_interleaved_write_frame(output_, packet_.get()); error < 0) return error;
    }
}

int Reencoder::finish() {
    if (int error = push(nullptr); error < 0) return error;
    if (int error = resample(nullptr); error < 0) return error;
    if (int error = encodeQueued(true); error < 0) return error;
    return encode(nullptr);
}

// Where one source stream's packets go.
struct Track {
    int outputIndex = -1;  // a copied track's output stream
    AVRational sourceTimeBase{1, 1};
    std::unique_ptr<Reencoder> reencoder;  // set when the track is re-encoded
};

}  // namespace

struct AudioTracks::Impl {
    AVFormatContext* output = nullptr;
    std::vector<Track> tracks;          // by source stream index; empty entries for other streams
    long long forcedBitsPerSecond = 0;  // every track re-encoded at this rate, when set

    void copy(const AVStream& in, Track& track);
    void reencode(const AVStream& in, Track& track);
};

void AudioTracks::Impl::copy(const AVStream& in, Track& track) {
    AVStream* out = avformat_new_stream(output, nullptr);
    if (!out || avcodec_parameters_copy(out->codecpar, in.codecpar) < 0) return;
    out->codecpar->codec_tag = 0;
    out->time_base = in.time_base;
    track.outputIndex = out->index;
}

void AudioTracks::Impl::reencode(const AVStream& in, Track& track) {
    // The container as the user named it (".m4v"), not the muxer ("ipod").
    const std::string refusal =
        std::string(avcodec_get_name(in.codecpar->codec_id)) +
        (forcedBitsPerSecond > 0
             ? " does not fit the file size at its own rate"
             : " is not accepted by " +
                   std::filesystem::path(output->url ? output->url : "").extension().string());
    const AVCodec* codec = fallbackEncoder(*output->oformat);
    auto reencoder = std::make_unique<Reencoder>();
    std::string why = "there is no encoder for it";
    if (!codec || !reencoder->open(in, *codec, *output, forcedBitsPerSecond, why)) {
        logLine("Audio track left out: " + refusal + " and " + why);
        return;
    }
    logLine("Audio track re-encoded: " + refusal + ", written as " + avcodec_get_name(codec->id));
    track.reencoder = std::move(reencoder);
}

AudioTracks::AudioTracks() : impl_(std::make_unique<Impl>()) {}
AudioTracks::~AudioTracks() = default;

void AudioTracks::reencodeAllAt(long long bitsPerSecond) {
    impl_->forcedBitsPerSecond = bitsPerSecond;
}

void AudioTracks::add(const AVFormatContext& source, AVFormatContext& output) {
    impl_->output = &output;
    impl_->tracks.clear();
    impl_->tracks.resize(source.nb_streams);
    for (unsigned i = 0; i < source.nb_streams; ++i) {
        const AVStream& in = *source.streams[i];
        if (in.codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
        Track& track = impl_->tracks[i];
        track.sourceTimeBase = in.time_base;
        if (impl_->forcedBitsPerSecond <= 0 && muxerAccepts(*output.oformat, in.codecpar->codec_id))
            impl_->copy(in, track);
        else
            impl_->reencode(in, track);
    }
}

int AudioTracks::write(AVPacket& packet) {
    const int source = packet.stream_index;
    if (source < 0 || source >= static_cast<int>(impl_->tracks.size())) return 0;
    Track& track = impl_->tracks[source];
    if (track.reencoder) return track.reencoder->push(&packet);
    if (track.outputIndex < 0) return 0;
    return writeCopiedPacket(*impl_->output, packet, track.sourceTimeBase,
                             *impl_->output->streams[track.outputIndex]);
}

int AudioTracks::finish() {
    for (Track& track : impl_->tracks)
        if (track.reencoder)
            if (int error = track.reencoder->finish(); error < 0) return error;
    return 0;
}

}  // namespace tintreel
