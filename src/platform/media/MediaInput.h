#pragma once
// Internal to the media layer: opening a movie file for reading, finding its
// streams, decoding its video and converting decoded pictures to Images.
// Shared by MovieSource (and through it MediaAsset and MovieReader),
// FrameImageAtTime, the slice check, the join and the remux, so each of them
// opens, decodes and converts the same way.
//
// Threads: every object here is used by one thread at a time.

#include <filesystem>
#include <optional>

#include "platform/filters/Image.h"
#include "platform/media/ColourDescription.h"
#include "platform/media/Deinterlacer.h"
#include "platform/media/FfmpegHandles.h"
#include "platform/media/MediaAsset.h"
#include "platform/system/Log.h"

namespace tintreel::media {

// Opens and probes `path`; returns 0 or an FFmpeg error code. `interrupt`,
// when given, lets another thread abort a blocking read. The one place that
// opens a file for reading: it counts the opens of each path.
int openInput(const std::filesystem::path& path, InputContextPtr& input,
              const AVIOInterruptCB* interrupt = nullptr);
// How many times openInput was asked to open `path` (see inputOpenCount).
long long opensOf(const std::filesystem::path& path);

// Index of the first real video stream, or -1: cover pictures do not count,
// and a still picture file has none.
int firstVideoStream(const AVFormatContext& input);

VideoTrack describeTrack(const AVStream& stream);
// See MediaAsset::audioBitsPerSecondBound.
double audioBitsPerSecondBound(const AVFormatContext& input);
double durationSeconds(const AVFormatContext& input);
// How long the first video track runs from its first frame: the stream's
// own duration where the container keeps one, else the whole file's.
double videoSeconds(const AVFormatContext& input);

// A decoder for one video stream of an open input. Interlaced pictures (the
// stream says so, or a frame is marked) come out deinterlaced, one picture
// per frame with the frame's timestamp.
class VideoDecoder {
public:
    VideoDecoder();
    ~VideoDecoder();
    // Returns 0 or an FFmpeg error code.
    int open(const AVStream& stream);
    // Feeds one packet (nullptr starts draining); 0 or an error code.
    int send(const AVPacket* packet);
    // Next picture: 0, AVERROR(EAGAIN) when it needs input, AVERROR_EOF when drained.
    int receive(AVFrame* frame);

private:
    bool deinterlaces(AVFrame& decoded);

    // The log sink of the thread that opened the decoder, for the lines of
    // its worker threads (LibraryLog.h); it outlives the codec context.
    std::unique_ptr<LogSink> logSink_;
    CodecContextPtr codec_;
    bool interlacedStream_ = false;
    bool deinterlacerFailed_ = false;
    AVRational timeBase_{1, 1};
    std::unique_ptr<Deinterlacer> deinterlacer_;
};

// Converts decoded frames of any pixel format to opaque RGBA Images, honouring
// the frame's colour matrix and range (ColourDescription's rules where it
// has none). Keeps its scaler between calls.
class RgbaConverter {
public:
    // The picture `shrink` times smaller on each side (at least one pixel).
    std::optional<Image> convert(const AVFrame& frame, int shrink = 1);

private:
    ScalerPtr scaler_;
    ColourDescription colour_;
};

// The frame's timestamp in its stream's time base, or AV_NOPTS_VALUE.
int64_t frameTimestamp(const AVFrame& frame);

}  // namespace tintreel::media
