#include "platform/media/AudioReencoder.h"

#include <algorithm>
#include <cstring>

namespace tintreel::media {
namespace {

bool wantsOpus(const AVOutputFormat& format) {
    return std::strcmp(format.name, "webm") == 0 || std::strcmp(format.name, "matroska") == 0;
}

// `wanted` when the encoder takes it (or lists nothing), else its first listed rate.
int supportedRate(const AVCodec& encoder, int wanted) {
    if (!encoder.supported_samplerates) return wanted;
    for (const int* rate = encoder.supported_samplerates; *rate; ++rate)
        if (*rate == wanted) return wanted;
    return encoder.supported_samplerates[0];
}

// The most a channel can carry: AAC's frames hold at most 6144 bits per
// channel for 1024 samples; Opus stops at 256 kb/s a channel.
int64_t bitRateCapPerChannel(const AVCodec& codec, int sampleRate) {
    if (codec.id == AV_CODEC_ID_AAC) return 6LL * sampleRate;
    return 256000;
}

// The encoder's sample format: float where the codec takes it, so the sound
// controls shape samples without rounding; else the codec's first.
AVSampleFormat encoderSampleFormat(const AVCodec& codec) {
    if (!codec.sample_fmts) return AV_SAMPLE_FMT_FLTP;
    for (const AVSampleFormat* format = codec.sample_fmts; *format != AV_SAMPLE_FMT_NONE; ++format)
        if (*format == AV_SAMPLE_FMT_FLTP || *format == AV_SAMPLE_FMT_FLT) return *format;
    return codec.sample_fmts[0];
}

// Shapes `count` samples at `planes` (one plane, or one per channel) in the
// formats our encoders take: float, planar or interleaved, and 16-bit.
void shapeSamples(const SoundShaper& shaper, void* const* planes, AVSampleFormat format, int channels,
                  int64_t first, int count) {
    switch (format) {
        case AV_SAMPLE_FMT_FLTP:
            shaper.applyPlanar(reinterpret_cast<float* const*>(planes), channels, first, count);
            break;
        case AV_SAMPLE_FMT_FLT:
            shaper.apply(static_cast<float*>(planes[0]), channels, first, count);
            break;
        case AV_SAMPLE_FMT_S16:
            shaper.applyInt16(static_cast<int16_t*>(planes[0]), channels, first, count);
            break;
        default:  // shapeWith refused the others
            break;
    }
}

}  // namespace

AudioEncoding fallbackEncoding(const AVOutputFormat& format) {
    if (std::strcmp(format.name, "webm") == 0) return {avcodec_find_encoder_by_name("libopus"), 0, 64000};
    return {avcodec_find_encoder(AV_CODEC_ID_AAC), 0, 64000};
}

AudioEncoding cutEncoding(const AVOutputFormat& format) {
    if (wantsOpus(format)) return {avcodec_find_encoder_by_name("libopus"), 48000, 80000};
    return {avcodec_find_encoder(AV_CODEC_ID_AAC), 0, 96000};
}

bool AudioReencoder::open(const AVStream& in, const AudioEncoding& encoding, AVFormatContext& output,
                          std::string& why, std::optional<TimeWindow> window) {
    output_ = &output;
    sourceTimeBase_ = in.time_base;
    window_ = window;
    const AVCodec* decoder = avcodec_find_decoder(in.codecpar->codec_id);
    decoder_.reset(decoder ? avcodec_alloc_context3(decoder) : nullptr);
    if (!decoder_ || avcodec_parameters_to_context(decoder_.get(), in.codecpar) < 0 ||
        avcodec_open2(decoder_.get(), decoder, nullptr) < 0)
        return why = "it cannot be decoded", false;
    decoder_->pkt_timebase = in.time_base;
    if (!openEncoder(encoding, why)) return false;
    stream_ = avformat_new_stream(&output, nullptr);
    if (!stream_ || avcodec_parameters_from_context(stream_->codecpar, encoder_.get()) < 0)
        return why = "out of memory", false;
    stream_->time_base = encoder_->time_base;
    if (window_) {
        nextPts_ = 0;
        if (window_->end != INT64_MAX)
            windowSamples_ = av_rescale(window_->end - window_->start, encoder_->sample_rate, AV_TIME_BASE);
    }
    fifo_.reset(av_audio_fifo_alloc(encoder_->sample_fmt, encoder_->ch_layout.nb_channels, 1));
    return fifo_ != nullptr || (why = "out of memory", false);
}

// The encoder keeps the source's channel layout and, where it can, its rate.
bool AudioReencoder::openEncoder(const AudioEncoding& encoding, std::string& why) {
    if (!encoding.codec) return why = "there is no encoder for it", false;
    const AVCodec& codec = *encoding.codec;
    encoder_.reset(avcodec_alloc_context3(&codec));
    if (!encoder_) return why = "out of memory", false;
    encoder_->sample_fmt = encoderSampleFormat(codec);
    const int sourceRate = decoder_->sample_rate > 0 ? decoder_->sample_rate : 48000;
    encoder_->sample_rate = supportedRate(codec, encoding.sampleRate > 0 ? encoding.sampleRate : sourceRate);
    if (decoder_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || decoder_->ch_layout.nb_channels <= 0)
        av_channel_layout_default(&encoder_->ch_layout, std::max(1, decoder_->ch_layout.nb_channels));
    else
        av_channel_layout_copy(&encoder_->ch_layout, &decoder_->ch_layout);
    const int64_t perChannel =
        std::min(encoding.bitRatePerChannel, bitRateCapPerChannel(codec, encoder_->sample_rate));
    encoder_->bit_rate = perChannel * encoder_->ch_layout.nb_channels;
    encoder_->time_base = {1, encoder_->sample_rate};
    if (output_->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int error = avcodec_open2(encoder_.get(), &codec, nullptr); error < 0)
        return why = errorText(error), false;
    return true;
}

bool AudioReencoder::shapeWith(const SoundControls& controls, double lengthSeconds) {
    const AVSampleFormat format = encoder_->sample_fmt;
    if (format != AV_SAMPLE_FMT_FLTP && format != AV_SAMPLE_FMT_FLT && format != AV_SAMPLE_FMT_S16) return false;
    shaper_.emplace(controls, lengthSeconds, encoder_->sample_rate);
    return true;
}

int AudioReencoder::push(const AVPacket* packet) {
    const int sent = avcodec_send_packet(decoder_.get(), packet);
    // A damaged packet loses its own few milliseconds, not the track.
    if (sent < 0 && sent != AVERROR_INVALIDDATA) return sent;
    return receiveDecoded();
}

int AudioReencoder::receiveDecoded() {
    while (true) {
        const int status = avcodec_receive_frame(decoder_.get(), decoded_.get());
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return 0;
        if (status < 0) return status;
        const int64_t start = decoded_->best_effort_timestamp;
        if (nextPts_ == AV_NOPTS_VALUE)
            nextPts_ =
                start == AV_NOPTS_VALUE ? 0 : av_rescale_q(start, sourceTimeBase_, encoder_->time_base);
        // The samples count on from the first frame's time: a cut is placed
        // by it, so the sound stays in step with the pictures.
        if (window_ && !position_) {
            const int64_t micros = start == AV_NOPTS_VALUE
                                       ? window_->start
                                       : av_rescale_q(start, sourceTimeBase_, AV_TIME_BASE_Q);
            position_ = av_rescale(micros - window_->start, encoder_->sample_rate, AV_TIME_BASE);
        }
        const int resampled = resample(decoded_.get());
        av_frame_unref(decoded_.get());
        if (resampled < 0) return resampled;
        if (int error = encodeQueued(false); error < 0) return error;
    }
}

// Converts `frame` (null: the resampler's remainder) and queues the result.
int AudioReencoder::resample(AVFrame* frame) {
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
    return queueSamples(*converted, samples);
}

// Queues the first `count` samples of `converted` for the encoder, without
// those outside the window.
int AudioReencoder::queueSamples(AVFrame& converted, int count) {
    int first = 0, last = count;
    if (window_ && position_) {
        first = static_cast<int>(std::clamp<int64_t>(-*position_, 0, count));
        last = static_cast<int>(std::clamp<int64_t>(windowSamples_ - *position_, first, count));
        *position_ += count;
    }
    if (last <= first) return 0;
    const int bytes = av_get_bytes_per_sample(encoder_->sample_fmt);
    const bool planar = av_sample_fmt_is_planar(encoder_->sample_fmt);
    const int channels = encoder_->ch_layout.nb_channels;
    void* planes[AV_NUM_DATA_POINTERS] = {};
    for (int plane = 0; plane < (planar ? channels : 1); ++plane)
        planes[plane] = converted.extended_data[plane] +
                        static_cast<std::ptrdiff_t>(first) * bytes * (planar ? 1 : channels);
    if (shaper_) shapeSamples(*shaper_, planes, encoder_->sample_fmt, channels, queued_, last - first);
    queued_ += last - first;
    return av_audio_fifo_write(fifo_.get(), planes, last - first) < 0 ? AVERROR(ENOMEM) : 0;
}

// Encodes whole encoder frames from the queue; `final` also takes the last
// short one, padded with silence when the encoder needs whole frames.
int AudioReencoder::encodeQueued(bool final) {
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

int AudioReencoder::encode(AVFrame* frame) {
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

int AudioReencoder::finish() {
    if (int error = push(nullptr); error < 0) return error;
    if (int error = resample(nullptr); error < 0) return error;
    if (int error = encodeQueued(true); error < 0) return error;
    return encode(nullptr);
}

}  // namespace tintreel::media
