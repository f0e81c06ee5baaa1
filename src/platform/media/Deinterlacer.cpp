#include "platform/media/Deinterlacer.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

#include <string>

namespace tintreel::media {

bool isInterlacedStream(const AVStream& stream) {
    const AVFieldOrder order = stream.codecpar->field_order;
    return order == AV_FIELD_TT || order == AV_FIELD_BB || order == AV_FIELD_TB || order == AV_FIELD_BT;
}

void Deinterlacer::GraphDeleter::operator()(AVFilterGraph* graph) const {
    avfilter_graph_free(&graph);
}

namespace {

std::string sourceArguments(const AVFrame& first, AVRational timeBase) {
    const AVRational aspect =
        first.sample_aspect_ratio.num > 0 ? first.sample_aspect_ratio : AVRational{1, 1};
    return "video_size=" + std::to_string(first.width) + "x" + std::to_string(first.height) +
           ":pix_fmt=" + std::to_string(first.format) + ":time_base=" + std::to_string(timeBase.num) + "/" +
           std::to_string(timeBase.den) + ":pixel_aspect=" + std::to_string(aspect.num) + "/" +
           std::to_string(aspect.den);
}

}  // namespace

std::unique_ptr<Deinterlacer> Deinterlacer::make(const AVFrame& first, AVRational timeBase, bool everyFrame) {
    std::unique_ptr<Deinterlacer> made(new Deinterlacer);
    made->graph_.reset(avfilter_graph_alloc());
    AVFilterGraph* graph = made->graph_.get();
    if (!graph) return nullptr;
    graph->nb_threads = 1;  // the decoder around it already runs on every core
    AVFilterContext* deinterlace = nullptr;
    // send_frame: one picture per frame, so frame count and timestamps stay the source's.
    const std::string options =
        std::string("mode=send_frame:parity=auto:deint=") + (everyFrame ? "all" : "interlaced");
    if (avfilter_graph_create_filter(&made->source_, avfilter_get_by_name("buffer"), "in",
                                     sourceArguments(first, timeBase).c_str(), nullptr, graph) < 0 ||
        avfilter_graph_create_filter(&deinterlace, avfilter_get_by_name("bwdif"), "deinterlace",
                                     options.c_str(), nullptr, graph) < 0 ||
        avfilter_graph_create_filter(&made->sink_, avfilter_get_by_name("buffersink"), "out", nullptr,
                                     nullptr, graph) < 0 ||
        avfilter_link(made->source_, 0, deinterlace, 0) < 0 ||
        avfilter_link(deinterlace, 0, made->sink_, 0) < 0 || avfilter_graph_config(graph, nullptr) < 0)
        return nullptr;
    made->width_ = first.width;
    made->height_ = first.height;
    made->format_ = first.format;
    return made;
}

Deinterlacer::~Deinterlacer() = default;

int Deinterlacer::push(AVFrame* frame) {
    if (frame->width != width_ || frame->height != height_ || frame->format != format_) return AVERROR_INPUT_CHANGED;
    return av_buffersrc_add_frame_flags(source_, frame, 0);
}

int Deinterlacer::flush() {
    flushed_ = true;
    return av_buffersrc_add_frame_flags(source_, nullptr, 0);
}

int Deinterlacer::pull(AVFrame* frame) {
    return av_buffersink_get_frame(sink_, frame);
}

}  // namespace tintreel::media
