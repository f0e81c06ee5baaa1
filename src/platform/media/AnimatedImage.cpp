#include "platform/media/AnimatedImage.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/media/FfmpegHandles.h"
#include "platform/media/MovieTypes.h"

namespace tintreel {
using namespace media;

namespace {

struct GraphDeleter {
    void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};
using GraphPtr = std::unique_ptr<AVFilterGraph, GraphDeleter>;

Error failure(const std::string& what, int error) {
    return Error{what + ": " + errorText(error)};
}

// The rendered movie opened for decoding its picture.
struct Decoding {
    InputContextPtr input;
    CodecContextPtr decoder;
    const AVStream* stream = nullptr;
    double expectedFrames = 1.0;  // for the progress share only
};

Result<Decoding> openDecoding(const std::filesystem::path& movie) {
    Decoding opened;
    AVFormatContext* raw = nullptr;
    if (int error = avformat_open_input(&raw, movie.c_str(), nullptr, nullptr); error < 0)
        return failure(movie.string(), error);
    opened.input.reset(raw);
    if (int error = avformat_find_stream_info(raw, nullptr); error < 0) return failure(movie.string(), error);
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (index < 0 || !codec) return failure(movie.string(), index < 0 ? index : AVERROR_DECODER_NOT_FOUND);
    opened.stream = raw->streams[index];
    opened.decoder.reset(avcodec_alloc_context3(codec));
    if (!opened.decoder) return failure(movie.string(), AVERROR(ENOMEM));
    avcodec_parameters_to_context(opened.decoder.get(), opened.stream->codecpar);
    opened.decoder->pkt_timebase = opened.stream->time_base;
    if (int error = avcodec_open2(opened.decoder.get(), codec, nullptr); error < 0)
        return failure(movie.string(), error);
    const double seconds = raw->duration > 0 ? raw->duration / static_cast<double>(AV_TIME_BASE) : 0.0;
    const double rate = av_q2d(opened.stream->avg_frame_rate);
    opened.expectedFrames =
        std::max(1.0, opened.stream->nb_frames > 0 ? opened.stream->nb_frames : seconds * rate);
    return opened;
}

// Decodes every frame of the picture and hands it to `take`, which returns
// 0 or an error; stops at the first error, or when `cancel` is raised.
int decodeEach(Decoding& movie, const std::atomic<bool>& cancel, const std::function<int(AVFrame&)>& take) {
    PacketPtr packet = makePacket();
    FramePtr frame = makeFrame();
    bool draining = false;
    while (true) {
        if (cancel) return AVERROR_EXIT;
        if (!draining) {
            const int read = av_read_frame(movie.input.get(), packet.get());
            if (read == AVERROR_EOF)
                draining = true;
            else if (read < 0)
                return read;
            if (!draining && packet->stream_index != movie.stream->index) {
                av_packet_unref(packet.get());
                continue;
            }
            const int sent = avcodec_send_packet(movie.decoder.get(), draining ? nullptr : packet.get());
            av_packet_unref(packet.get());
            if (sent < 0 && sent != AVERROR_INVALIDDATA) return sent;
        }
        int received = 0;
        while ((received = avcodec_receive_frame(movie.decoder.get(), frame.get())) >= 0) {
            frame->pts = frame->best_effort_timestamp;
            const int taken = take(*frame);
            av_frame_unref(frame.get());
            if (taken < 0) return taken;
        }
        if (received == AVERROR_EOF) return 0;
        if (received != AVERROR(EAGAIN)) return received;
    }
}

// A filter graph from `description`, whose "buffer" filters take the frames
// and the palette in that order and whose one "buffersink" gives the result.
struct Graph {
    GraphPtr graph;
    std::vector<AVFilterContext*> sources;
    AVFilterContext* sink = nullptr;
};

Result<Graph> makeGraph(const std::string& description) {
    Graph made;
    made.graph.reset(avfilter_graph_alloc());
    if (!made.graph) return failure("filter graph", AVERROR(ENOMEM));
    made.graph->nb_threads = 1;  // the render's own threads are busy enough
    // The description links every pad itself, so nothing is left open.
    AVFilterInOut* open = nullptr;
    AVFilterInOut* closed = nullptr;
    const int parsed = avfilter_graph_parse2(made.graph.get(), description.c_str(), &open, &closed);
    avfilter_inout_free(&open);
    avfilter_inout_free(&closed);
    if (parsed < 0) return failure("filter graph", parsed);
    for (unsigned i = 0; i < made.graph->nb_filters; ++i) {
        AVFilterContext* filter = made.graph->filters[i];
        if (std::string_view(filter->filter->name) == "buffer") made.sources.push_back(filter);
        if (std::string_view(filter->filter->name) == "buffersink") made.sink = filter;
    }
    if (int error = avfilter_graph_config(made.graph.get(), nullptr); error < 0)
        return failure("filter graph", error);
    return made;
}

// The "buffer" source of frames like the decoder's.
std::string frameSource(const AVCodecContext& decoder, AVRational timeBase) {
    const AVRational aspect =
        decoder.sample_aspect_ratio.num > 0 ? decoder.sample_aspect_ratio : AVRational{1, 1};
    return "buffer=video_size=" + std::to_string(decoder.width) + "x" + std::to_string(decoder.height) +
           ":pix_fmt=" + std::to_string(decoder.pix_fmt) + ":time_base=" + std::to_string(timeBase.num) +
           "/" + std::to_string(timeBase.den) + ":pixel_aspect=" + std::to_string(aspect.num) + "/" +
           std::to_string(aspect.den);
}

// The frame rate and width caps, as filters: frames dropped evenly only when
// the movie is faster than the cap; a width at most the cap, both sides
// even, the height following the shape.
std::string capFilters(const Decoding& movie, const AnimationLimits& limits) {
    const double rate = av_q2d(movie.stream->avg_frame_rate);
    std::string filters;
    if (!(rate > 0.0) || rate > limits.framesPerSecond)
        filters += "fps=" + std::to_string(limits.framesPerSecond) + ",";
    const std::string cap = std::to_string(limits.width);
    return filters + "scale=w='max(2,trunc(min(iw," + cap + ")/2)*2)':h=-2:flags=lanczos";
}

// Pulls every frame the sink has ready into `take`.
int drainSink(AVFilterContext& sink, const std::function<int(AVFrame&)>& take) {
    FramePtr frame = makeFrame();
    while (true) {
        const int got = av_buffersink_get_frame(&sink, frame.get());
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
        if (got < 0) return got;
        const int taken = take(*frame);
        av_frame_unref(frame.get());
        if (taken < 0) return taken;
    }
}

// Runs the movie through `graph`, handing its results to `take`; `onFrame`
// is called with the count of frames decoded.
int runGraph(Decoding& movie, Graph& graph, const std::atomic<bool>& cancel,
             const std::function<void(double)>& onFrame, const std::function<int(AVFrame&)>& take) {
    long long frames = 0;
    const int decoded = decodeEach(movie, cancel, [&](AVFrame& frame) {
        onFrame(static_cast<double>(++frames));
        if (int error = av_buffersrc_add_frame_flags(graph.sources[0], &frame, AV_BUFFERSRC_FLAG_KEEP_REF);
            error < 0)
            return error;
        return drainSink(*graph.sink, take);
    });
    if (decoded < 0) return decoded;
    if (int error = av_buffersrc_add_frame_flags(graph.sources[0], nullptr, 0); error < 0) return error;
    return drainSink(*graph.sink, take);
}

// Rewinds the movie for a second pass over it.
int rewind(Decoding& movie) {
    avcodec_flush_buffers(movie.decoder.get());
    return av_seek_frame(movie.input.get(), movie.stream->index, INT64_MIN, AVSEEK_FLAG_BACKWARD);
}

// The animated picture being written: its muxer and encoder.
struct AnimationFile {
    OutputContextPtr output;
    CodecContextPtr encoder;
    AVStream* stream = nullptr;
    PacketPtr packet = makePacket();

    int open(const std::filesystem::path& path, const char* format, const char* encoderName,
             const AVFilterContext& sink);
    int encode(AVFrame* frame);  // null drains
    int finish();
};

int AnimationFile::open(const std::filesystem::path& path, const char* format, const char* encoderName,
                        const AVFilterContext& sink) {
    AVFormatContext* raw = nullptr;
    if (int error = avformat_alloc_output_context2(&raw, nullptr, format, path.c_str()); error < 0)
        return error;
    output.reset(raw);
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    if (!codec) return AVERROR_ENCODER_NOT_FOUND;
    encoder.reset(avcodec_alloc_context3(codec));
    if (!encoder) return AVERROR(ENOMEM);
    encoder->width = av_buffersink_get_w(&sink);
    encoder->height = av_buffersink_get_h(&sink);
    encoder->pix_fmt = static_cast<AVPixelFormat>(av_buffersink_get_format(&sink));
    encoder->time_base = av_buffersink_get_time_base(&sink);
    if (output->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int error = avcodec_open2(encoder.get(), codec, nullptr); error < 0) return error;
    stream = avformat_new_stream(output.get(), nullptr);
    if (!stream) return AVERROR(ENOMEM);
    stream->time_base = encoder->time_base;
    if (int error = avcodec_parameters_from_context(stream->codecpar, encoder.get()); error < 0) return error;
    // Both muxers take "loop": 0 plays forever.
    av_opt_set_int(output->priv_data, "loop", 0, 0);
    if (int error = avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE); error < 0) return error;
    return avformat_write_header(output.get(), nullptr);
}

int AnimationFile::encode(AVFrame* frame) {
    if (int error = avcodec_send_frame(encoder.get(), frame); error < 0) return error;
    while (true) {
        const int got = avcodec_receive_packet(encoder.get(), packet.get());
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
        if (got < 0) return got;
        av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (int error = av_interleaved_write_frame(output.get(), packet.get()); error < 0) return error;
    }
}

int AnimationFile::finish() {
    if (int error = encode(nullptr); error < 0) return error;
    if (int error = av_write_trailer(output.get()); error < 0) return error;
    return avio_closep(&output->pb);
}

// The first pass of a GIF: one palette for every frame the animation shows.
Result<FramePtr> findPalette(Decoding& movie, const AnimationLimits& limits, const std::atomic<bool>& cancel,
                             const std::function<void(double)>& onFrame) {
    Result<Graph> graph = makeGraph(frameSource(*movie.decoder, movie.stream->time_base) + "," +
                                    capFilters(movie, limits) + ",palettegen=stats_mode=full,buffersink");
    if (!graph) return Error{graph.error()};
    FramePtr palette;
    const int ran = runGraph(movie, *graph, cancel, onFrame, [&](AVFrame& frame) {
        palette.reset(av_frame_clone(&frame));
        return palette ? 0 : AVERROR(ENOMEM);
    });
    if (ran < 0) return failure("palette", ran);
    if (!palette) return Error{"the movie has no frame to make a palette from"};
    return palette;
}

// The graph of the last pass: GIF frames mapped to `palette` and dithered,
// WebP frames in the encoder's 4:2:0.
std::string lastPassGraph(const Decoding& movie, const AnimationLimits& limits, const AVFrame* palette) {
    const std::string frames =
        frameSource(*movie.decoder, movie.stream->time_base) + "," + capFilters(movie, limits);
    if (!palette) return frames + ",format=yuv420p,buffersink";
    return frames + "[frames];buffer=video_size=" + std::to_string(palette->width) + "x" +
           std::to_string(palette->height) + ":pix_fmt=" + std::to_string(palette->format) +
           ":time_base=" + std::to_string(movie.stream->time_base.num) + "/" +
           std::to_string(movie.stream->time_base.den) +
           "[palette];[frames][palette]paletteuse=dither=sierra2_4a,buffersink";
}

}  // namespace

Status writeAnimation(const std::filesystem::path& movie, const std::filesystem::path& output,
                      const AnimationLimits& limits, const std::atomic<bool>& cancel,
                      const std::function<void(float)>& progress) {
    const bool gif = lowerExtension(output) == "gif";
    Result<Decoding> opened = openDecoding(movie);
    if (!opened) return Error{opened.error()};
    const int passes = gif ? 2 : 1;
    int pass = 0;
    const auto onFrame = [&](double frames) {
        progress(static_cast<float>(std::min(1.0, (pass + frames / opened->expectedFrames) / passes)));
    };
    FramePtr palette;
    if (gif) {
        Result<FramePtr> found = findPalette(*opened, limits, cancel, onFrame);
        if (!found) return Error{found.error()};
        palette = std::move(*found);
        if (int error = rewind(*opened); error < 0) return failure(movie.string(), error);
        pass = 1;
    }
    Result<Graph> graph = makeGraph(lastPassGraph(*opened, limits, palette.get()));
    if (!graph) return Error{graph.error()};
    if (palette) {
        // The palette stands from the first frame on, for the whole animation.
        palette->pts = opened->stream->start_time == AV_NOPTS_VALUE ? 0 : opened->stream->start_time;
        for (AVFrame* frame : {palette.get(), static_cast<AVFrame*>(nullptr)})  // the palette, then its end
            if (int error =
                    av_buffersrc_add_frame_flags(graph->sources[1], frame, AV_BUFFERSRC_FLAG_KEEP_REF);
                error < 0)
                return failure(movie.string(), error);
    }
    AnimationFile file;
    if (int error = file.open(output, gif ? "gif" : "webp", gif ? "gif" : "libwebp_anim", *graph->sink);
        error < 0)
        return failure(output.string(), error);
    const int ran = runGraph(*opened, *graph, cancel, onFrame, [&](AVFrame& frame) {
        frame.pict_type = AV_PICTURE_TYPE_NONE;
        return file.encode(&frame);
    });
    if (ran < 0) return failure(output.string(), ran);
    if (int error = file.finish(); error < 0) return failure(output.string(), error);
    return {};
}

}  // namespace tintreel
