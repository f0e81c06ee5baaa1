#pragma once
// Internal to the media layer: FFmpeg's own deinterlacer (bwdif through
// libavfilter, one output frame per input frame, timestamps kept) between a
// video decoder and the conversion to RGBA, so that effects never see the
// comb of two interlaced fields.
//
// Ownership: owns its filter graph. Threads: one thread at a time.

#include <memory>

#include "platform/media/FfmpegHandles.h"

struct AVFilterGraph;
struct AVFilterContext;

namespace tintreel::media {

// Whether a stream says its pictures are interlaced.
bool isInterlacedStream(const AVStream& stream);

class Deinterlacer {
public:
    // A deinterlacer for frames like `first` (size, pixel format, aspect),
    // timed in `timeBase`. `everyFrame` treats every frame as interlaced (the
    // stream says so); otherwise only frames marked interlaced are changed.
    // Null when the filter cannot be set up.
    static std::unique_ptr<Deinterlacer> make(const AVFrame& first, AVRational timeBase, bool everyFrame);
    ~Deinterlacer();

    // Takes the frame's picture (the frame is left empty); 0 or an error
    // code, AVERROR_INPUT_CHANGED for a frame of another size or format than
    // the first, which the filter cannot weave with its neighbours.
    int push(AVFrame* frame);
    // No more frames will come: the one held back is released.
    int flush();
    bool flushed() const { return flushed_; }
    // 0 with the next picture, AVERROR(EAGAIN) when it needs another frame,
    // AVERROR_EOF after the flush once everything is out.
    int pull(AVFrame* frame);

private:
    struct GraphDeleter {
        void operator()(AVFilterGraph* graph) const;
    };
    std::unique_ptr<AVFilterGraph, GraphDeleter> graph_;
    AVFilterContext* source_ = nullptr;  // owned by the graph
    AVFilterContext* sink_ = nullptr;    // owned by the graph
    int width_ = 0, height_ = 0, format_ = -1;
    bool flushed_ = false;
};

}  // namespace tintreel::media
