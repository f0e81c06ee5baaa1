#include "platform/media/PlaybackAudio.h"

#include <cmath>
#include <mutex>

#include "platform/media/MediaInput.h"

namespace tintreel {
using namespace media;

namespace {

int firstAudioStream(const AVFormatContext& input) {
    for (unsigned i = 0; i < input.nb_streams; ++i)
        if (input.streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) return static_cast<int>(i);
    return -1;
}

// Where the pictures' clock starts, in seconds of the file's clock.
double videoOrigin(const AVFormatContext& input) {
    const int video = firstVideoStream(input);
    if (video < 0 || input.streams[video]->start_time == AV_NOPTS_VALUE) return 0.0;
    return static_cast<double>(input.streams[video]->start_time) * av_q2d(input.streams[video]->time_base);
}

}  // namespace

struct PlaybackAudio::Impl {
    InputContextPtr input;
    int audioIndex = -1;
    double origin = 0.0;
    SoundFormat format;
    CodecContextPtr decoder;
    ResamplerPtr resampler;
    std::optional<double> seekTarget;  // the first chunk after a seek starts here
    bool draining = false;
    std::mutex shapingMutex;
    PlaybackShaping shaping;

    void shape(SoundChunk& chunk);
    int openDecoder();
    std::vector<char> convert(const AVFrame& frame);
    std::optional<SoundChunk> chunkOf(const AVFrame& frame);
};

int PlaybackAudio::Impl::openDecoder() {
    const AVStream& stream = *input->streams[audioIndex];
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (!codec) return AVERROR_DECODER_NOT_FOUND;
    decoder.reset(avcodec_alloc_context3(codec));
    if (!decoder) return AVERROR(ENOMEM);
    if (int error = avcodec_parameters_to_context(decoder.get(), stream.codecpar); error < 0) return error;
    decoder->pkt_timebase = stream.time_base;
    return avcodec_open2(decoder.get(), codec, nullptr);
}

std::vector<char> PlaybackAudio::Impl::convert(const AVFrame& frame) {
    if (!resampler) {
        AVChannelLayout layout;
        av_channel_layout_default(&layout, format.channels);
        const AVSampleFormat kind = format.kind == SampleKind::Int16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_FLT;
        SwrContext* raw = nullptr;
        // The library takes the layouts by non-const pointer but only reads them.
        AVChannelLayout input = frame.ch_layout;
        int error =
            swr_alloc_set_opts2(&raw, &layout, kind, format.sampleRate, &input,
                                static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
        resampler.reset(raw);
        if (error < 0 || swr_init(resampler.get()) < 0) {
            resampler.reset();
            return {};
        }
    }
    const int capacity = swr_get_out_samples(resampler.get(), frame.nb_samples);
    std::vector<char> bytes(static_cast<size_t>(std::max(0, capacity)) * format.bytesPerFrame());
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(bytes.data())};
    const int samples = swr_convert(resampler.get(), out, capacity,
                                    const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
    bytes.resize(static_cast<size_t>(std::max(0, samples)) * format.bytesPerFrame());
    return bytes;
}

// The decoded frame as the device takes it. After a seek the sound starts at
// the position exactly: samples before it are cut off, a gap before the
// first sample is filled with silence.
std::optional<SoundChunk> PlaybackAudio::Impl::chunkOf(const AVFrame& frame) {
    SoundChunk chunk{convert(frame), 0.0};
    const int64_t timestamp =
        frame.best_effort_timestamp != AV_NOPTS_VALUE ? frame.best_effort_timestamp : frame.pts;
    const double start =
        timestamp == AV_NOPTS_VALUE
            ? seekTarget.value_or(0.0)
            : static_cast<double>(timestamp) * av_q2d(input->streams[audioIndex]->time_base) - origin;
    chunk.seconds = start;
    if (!seekTarget) return chunk;
    const long long offset = std::llround((*seekTarget - start) * format.sampleRate) * format.bytesPerFrame();
    if (offset >= static_cast<long long>(chunk.bytes.size())) return std::nullopt;
    if (offset > 0) chunk.bytes.erase(chunk.bytes.begin(), chunk.bytes.begin() + offset);
    if (offset < 0) chunk.bytes.insert(chunk.bytes.begin(), static_cast<size_t>(-offset), char(0));
    chunk.seconds = *seekTarget;
    seekTarget.reset();
    return chunk;
}

void PlaybackAudio::Impl::shape(SoundChunk& chunk) {
    PlaybackShaping now;
    {
        std::lock_guard lock(shapingMutex);
        now = shaping;
    }
    if (now.controls.leavesSoundAlone()) return;
    const SoundShaper shaper(now.controls, now.spanSeconds, format.sampleRate);
    const int64_t first = std::llround((chunk.seconds - now.spanStart) * format.sampleRate);
    const int frames = static_cast<int>(chunk.bytes.size() / static_cast<size_t>(format.bytesPerFrame()));
    if (format.kind == SampleKind::Int16)
        shaper.applyInt16(reinterpret_cast<int16_t*>(chunk.bytes.data()), format.channels, first, frames);
    else
        shaper.apply(reinterpret_cast<float*>(chunk.bytes.data()), format.channels, first, frames);
}

Result<std::unique_ptr<PlaybackAudio>> PlaybackAudio::open(const std::filesystem::path& path,
                                                           SoundFormat format) {
    auto impl = std::make_unique<Impl>();
    impl->format = format;
    if (int error = openInput(path, impl->input); error < 0) return Error{errorText(error)};
    impl->audioIndex = firstAudioStream(*impl->input);
    if (impl->audioIndex < 0) return std::unique_ptr<PlaybackAudio>();
    impl->origin = videoOrigin(*impl->input);
    for (unsigned i = 0; i < impl->input->nb_streams; ++i)
        if (static_cast<int>(i) != impl->audioIndex) impl->input->streams[i]->discard = AVDISCARD_ALL;
    if (int error = impl->openDecoder(); error < 0) return Error{errorText(error)};
    return std::unique_ptr<PlaybackAudio>(new PlaybackAudio(std::move(impl)));
}

PlaybackAudio::PlaybackAudio(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
PlaybackAudio::~PlaybackAudio() = default;

void PlaybackAudio::setShaping(const PlaybackShaping& shaping) {
    std::lock_guard lock(impl_->shapingMutex);
    impl_->shaping = shaping;
}

Status PlaybackAudio::seek(double seconds) {
    Impl& impl = *impl_;
    avcodec_flush_buffers(impl.decoder.get());
    impl.resampler.reset();
    impl.draining = false;
    impl.seekTarget = std::max(0.0, seconds);
    const AVStream& stream = *impl.input->streams[impl.audioIndex];
    const int64_t target = std::llround((*impl.seekTarget + impl.origin) / av_q2d(stream.time_base));
    if (int error = av_seek_frame(impl.input.get(), impl.audioIndex, target, AVSEEK_FLAG_BACKWARD); error < 0)
        return Error{errorText(error)};
    return {};
}

std::optional<SoundChunk> PlaybackAudio::next() {
    Impl& impl = *impl_;
    FramePtr frame = makeFrame();
    PacketPtr packet = makePacket();
    while (true) {
        const int status = avcodec_receive_frame(impl.decoder.get(), frame.get());
        if (status == 0) {
            if (std::optional<SoundChunk> chunk = impl.chunkOf(*frame)) {
                impl.shape(*chunk);
                return chunk;
            }
            continue;
        }
        if (status != AVERROR(EAGAIN) || impl.draining) return std::nullopt;
        if (av_read_frame(impl.input.get(), packet.get()) < 0) {
            impl.draining = true;
            avcodec_send_packet(impl.decoder.get(), nullptr);
            continue;
        }
        // A packet the decoder refuses is passed over: the sound goes on.
        if (packet->stream_index == impl.audioIndex) avcodec_send_packet(impl.decoder.get(), packet.get());
        av_packet_unref(packet.get());
    }
}

}  // namespace tintreel
