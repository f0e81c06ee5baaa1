#include "platform/media/MediaInput.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <string_view>

#include "platform/media/Yuv420ToRgba.h"
#include "platform/system/Log.h"

namespace tintreel::media {

namespace {

// Opens by path, spelt absolute so that "clip.mp4" and "./clip.mp4" count as one file.
class OpenCounter {
public:
    void add(const std::filesystem::path& path) {
        const std::lock_guard lock(mutex_);
        ++opens_[key(path)];
    }
    long long of(const std::filesystem::path& path) {
        const std::lock_guard lock(mutex_);
        const auto found = opens_.find(key(path));
        return found == opens_.end() ? 0 : found->second;
    }

private:
    static std::string key(const std::filesystem::path& path) {
        std::error_code ignored;
        return std::filesystem::absolute(path, ignored).lexically_normal().string();
    }
    std::mutex mutex_;
    std::map<std::string, long long> opens_;
};

OpenCounter& openCounter() {
    static OpenCounter counter;
    return counter;
}

}  // namespace

long long opensOf(const std::filesystem::path& path) {
    return openCounter().of(path);
}

int openInput(const std::filesystem::path& path, InputContextPtr& input, const AVIOInterruptCB* interrupt) {
    quietLibraryLogs();
    openCounter().add(path);
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return AVERROR(ENOMEM);
    if (interrupt) raw->interrupt_callback = *interrupt;
    // On failure avformat_open_input frees the context itself.
    if (int error = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); error < 0) return error;
    input.reset(raw);
    return std::min(0, avformat_find_stream_info(raw, nullptr));
}

namespace {

// A picture file (PNG, JPEG, GIF, ...) probes as a one-frame video whatever
// its name; it is a still here, never a movie.
bool isStillPictureFile(const AVInputFormat& format) {
    const std::string_view name = format.name;
    return name == "image2" || name == "gif" || name == "apng" || name.ends_with("_pipe");
}

}  // namespace

int firstVideoStream(const AVFormatContext& input) {
    if (isStillPictureFile(*input.iformat)) return -1;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream& stream = *input.streams[i];
        if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(stream.disposition & AV_DISPOSITION_ATTACHED_PIC))
            return static_cast<int>(i);
    }
    return -1;
}

VideoTrack describeTrack(const AVStream& stream) {
    VideoTrack track{stream.codecpar->width, stream.codecpar->height, {}, {}};
    AVRational aspect = stream.sample_aspect_ratio;
    if (aspect.num <= 0 || aspect.den <= 0) aspect = stream.codecpar->sample_aspect_ratio;
    if (aspect.num > 0 && aspect.den > 0) {
        av_reduce(&aspect.num, &aspect.den, aspect.num, aspect.den, 1 << 16);
        track.sampleAspect = {aspect.num, aspect.den};
    }
    const uint8_t* data = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (data) {
        // The display matrix holds the container's track matrix, 16.16 fixed point.
        const auto* matrix = reinterpret_cast<const int32_t*>(data);
        constexpr double kOne = 65536.0;
        track.transform = {matrix[0] / kOne, matrix[1] / kOne, matrix[3] / kOne, matrix[4] / kOne};
    }
    AVRational rate = stream.avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = stream.r_frame_rate;
    if (rate.num > 0 && rate.den > 0) track.framesPerSecond = av_q2d(rate);
    return track;
}

double audioBitsPerSecondBound(const AVFormatContext& input) {
    // 32-bit samples: no audio codec we copy or write takes more.
    constexpr double kUncompressedBitsPerSample = 32;
    double bound = 0;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVCodecParameters& audio = *input.streams[i]->codecpar;
        if (audio.codec_type != AVMEDIA_TYPE_AUDIO) continue;
        bound += audio.bit_rate > 0
                     ? static_cast<double>(audio.bit_rate)
                     : kUncompressedBitsPerSample * audio.sample_rate * audio.ch_layout.nb_channels;
    }
    return bound;
}

double durationSeconds(const AVFormatContext& input) {
    if (input.duration != AV_NOPTS_VALUE) return static_cast<double>(input.duration) / AV_TIME_BASE;
    const int video = firstVideoStream(input);
    if (video < 0 || input.streams[video]->duration == AV_NOPTS_VALUE) return 0.0;
    const AVStream& stream = *input.streams[video];
    return static_cast<double>(stream.duration) * av_q2d(stream.time_base);
}

double videoSeconds(const AVFormatContext& input) {
    const int video = firstVideoStream(input);
    if (video < 0 || input.streams[video]->duration == AV_NOPTS_VALUE) return durationSeconds(input);
    const AVStream& stream = *input.streams[video];
    return static_cast<double>(stream.duration) * av_q2d(stream.time_base);
}

VideoDecoder::VideoDecoder() = default;
VideoDecoder::~VideoDecoder() = default;

int VideoDecoder::open(const AVStream& stream) {
    interlacedStream_ = isInterlacedStream(stream);
    timeBase_ = stream.time_base;
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (!codec) return AVERROR_DECODER_NOT_FOUND;
    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_) return AVERROR(ENOMEM);
    if (int error = avcodec_parameters_to_context(codec_.get(), stream.codecpar); error < 0) return error;
    codec_->pkt_timebase = stream.time_base;
    codec_->thread_count = 0;  // as many as the machine has
    // The decoder's own threads log for the render that opened it (LibraryLog.h).
    if (const ScopedThreadLogSink* sink = ScopedThreadLogSink::current()) {
        logSink_ = std::make_unique<LogSink>(sink->sink());
        codec_->opaque = logSink_.get();
    }
    return avcodec_open2(codec_.get(), codec, nullptr);
}

int VideoDecoder::send(const AVPacket* packet) {
    return avcodec_send_packet(codec_.get(), packet);
}

int VideoDecoder::receive(AVFrame* frame) {
    while (true) {
        if (deinterlacer_) {
            const int pulled = deinterlacer_->pull(frame);
            if (pulled != AVERROR(EAGAIN)) return pulled;
        }
        const int status = avcodec_receive_frame(codec_.get(), frame);
        if (status == AVERROR_EOF && deinterlacer_ && !deinterlacer_->flushed()) {
            if (int error = deinterlacer_->flush(); error < 0) return error;
            continue;
        }
        if (status < 0 || !deinterlaces(*frame)) return status;
        if (int error = deinterlacer_->push(frame); error < 0) return error;
    }
}

// Whether `decoded` goes through the deinterlacer, which is set up for the
// first frame that needs it. A deinterlacer that cannot be set up leaves the
// pictures as they are, said once.
bool VideoDecoder::deinterlaces(AVFrame& decoded) {
    if (deinterlacer_) return true;
    if (deinterlacerFailed_ || !(interlacedStream_ || decoded.interlaced_frame)) return false;
    deinterlacer_ = Deinterlacer::make(decoded, timeBase_, interlacedStream_);
    if (deinterlacer_) return true;
    deinterlacerFailed_ = true;
    logLine("Interlaced pictures are used as they are: the deinterlacer could not be set up");
    return false;
}

namespace {

// The library's exact path, for the pictures our own 4:2:0 conversion does
// not take (smaller previews, other layouts): chroma interpolated across as
// well as down (without it, its RGB comes out about two levels dark) and
// exact rounding, which also keeps the SIMD shortcuts that leave the last
// pixels of rows whose width is not a multiple of 8 unwritten.
constexpr int kScaleFlags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;

}  // namespace

std::optional<Image> RgbaConverter::convert(const AVFrame& frame, int shrink) {
    // A frame without a description of its own is read by the size rule, as the writer will tag it.
    const ColourDescription colour = ColourDescription::of(frame).completed(frame.width, frame.height);
    if (shrink == 1 && isYuv420(frame)) return yuv420ToRgba(frame, decodingMatrix(colour));
    const int width = std::max(1, frame.width / shrink);
    const int height = std::max(1, frame.height / shrink);
    SwsContext* previous = scaler_.get();
    SwsContext* scaler = sws_getCachedContext(scaler_.release(), frame.width, frame.height,
                                              static_cast<AVPixelFormat>(frame.format), width, height,
                                              AV_PIX_FMT_RGBA, kScaleFlags, nullptr, nullptr, nullptr);
    scaler_.reset(scaler);
    if (!scaler) return std::nullopt;
    if ((scaler != previous || colour != colour_) && !useForDecoding(*scaler, colour)) return std::nullopt;
    colour_ = colour;
    Image image = Image::forOverwrite(width, height);
    uint8_t* planes[4] = {image.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(image.stride()), 0, 0, 0};
    if (sws_scale(scaler, frame.data, frame.linesize, 0, frame.height, planes, strides) != height)
        return std::nullopt;
    return image;
}

int64_t frameTimestamp(const AVFrame& frame) {
    return frame.best_effort_timestamp != AV_NOPTS_VALUE ? frame.best_effort_timestamp : frame.pts;
}

}  // namespace tintreel::media
