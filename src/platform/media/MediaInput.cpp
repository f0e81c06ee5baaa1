#include "platform/media/MediaInput.h"

#include <cmath>
#include <string_view>

namespace tintreel::media {

int openInput(const std::filesystem::path& path, InputContextPtr& input, const AVIOInterruptCB* interrupt) {
    quietLibraryLogs();
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
    VideoTrack track{stream.codecpar->width, stream.codecpar->height, {}};
    const uint8_t* data = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (data) {
        // The display matrix holds the container's track matrix, 16.16 fixed point.
        const auto* matrix = reinterpret_cast<const int32_t*>(data);
        constexpr double kOne = 65536.0;
        track.transform = {matrix[0] / kOne, matrix[1] / kOne, matrix[3] / kOne, matrix[4] / kOne};
    }
    return track;
}

double durationSeconds(const AVFormatContext& input) {
    if (input.duration != AV_NOPTS_VALUE) return static_cast<double>(input.duration) / AV_TIME_BASE;
    const int video = firstVideoStream(input);
    if (video < 0 || input.streams[video]->duration == AV_NOPTS_VALUE) return 0.0;
    const AVStream& stream = *input.streams[video];
    return static_cast<double>(stream.duration) * av_q2d(stream.time_base);
}

int VideoDecoder::open(const AVStream& stream) {
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
    return avcodec_receive_frame(codec_.get(), frame);
}

namespace {

// Interpolated chroma and exact rounding: also keeps the SIMD shortcuts that
// leave the last pixels of rows whose width is not a multiple of 8 unwritten.
constexpr int kScaleFlags = SWS_BICUBIC | SWS_ACCURATE_RND;

int swsMatrixOf(const AVFrame& frame) {
    switch (frame.colorspace) {
        case AVCOL_SPC_BT709:
            return SWS_CS_ITU709;
        case AVCOL_SPC_FCC:
            return SWS_CS_FCC;
        case AVCOL_SPC_SMPTE240M:
            return SWS_CS_SMPTE240M;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return SWS_CS_BT2020;
        default:
            return SWS_CS_DEFAULT;
    }
}

bool isFullRange(const AVFrame& frame) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    return frame.color_range == AVCOL_RANGE_JPEG || format == AV_PIX_FMT_YUVJ420P ||
           format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P;
}

}  // namespace

std::optional<Image> RgbaConverter::convert(const AVFrame& frame) {
    SwsContext* previous = scaler_.get();
    SwsContext* scaler = sws_getCachedContext(
        scaler_.release(), frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width,
        frame.height, AV_PIX_FMT_RGBA, kScaleFlags, nullptr, nullptr, nullptr);
    scaler_.reset(scaler);
    if (!scaler) return std::nullopt;
    if (scaler != previous) {
        const int* table = sws_getCoefficients(swsMatrixOf(frame));
        sws_setColorspaceDetails(scaler, table, isFullRange(frame) ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    }
    Image image(frame.width, frame.height);
    uint8_t* planes[4] = {image.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(image.stride()), 0, 0, 0};
    if (sws_scale(scaler, frame.data, frame.linesize, 0, frame.height, planes, strides) != frame.height)
        return std::nullopt;
    return image;
}

int64_t frameTimestamp(const AVFrame& frame) {
    return frame.best_effort_timestamp != AV_NOPTS_VALUE ? frame.best_effort_timestamp : frame.pts;
}

}  // namespace tintreel::media
