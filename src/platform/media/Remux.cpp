#include "platform/media/Remux.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/media/AudioTracks.h"
#include "platform/media/CarriedOver.h"
#include "platform/media/FfmpegHandles.h"
#include "platform/media/MediaInput.h"
#include "platform/media/MediaOutput.h"
#include "platform/media/MovieTypes.h"
#include "platform/media/MuxerRules.h"
#include "platform/system/AtomicFile.h"

namespace tintreel {
using namespace media;
namespace fs = std::filesystem;

namespace {

// The movie opened and probed, or why it cannot be read.
Result<InputContextPtr> openedInput(const fs::path& movie) {
    InputContextPtr input;
    if (int error = openInput(movie, input); error < 0) return Error{errorText(error)};
    return input;
}

// One pass over the packets of `input` into the open `output`.
class Remuxer {
public:
    Remuxer(AVFormatContext& input, AVFormatContext& output, int videoIndex, std::optional<TimeWindow> window,
            const SoundPlan* sound)
        : input_(input), output_(output), videoIndex_(videoIndex), window_(window) {
        if (sound) audio_.shapeAll(*sound);
    }

    int addStreams() {
        const AVStream& in = *input_.streams[videoIndex_];
        video_ = avformat_new_stream(&output_, nullptr);
        if (!video_) return AVERROR(ENOMEM);
        if (int error = avcodec_parameters_copy(video_->codecpar, in.codecpar); error < 0) return error;
        // The tag players of the MPEG-4 family look for H.265 under; any other the muxer picks.
        const bool hvc1 = in.codecpar->codec_id == AV_CODEC_ID_HEVC && isMpeg4Family(*output_.oformat);
        video_->codecpar->codec_tag = hvc1 ? MKTAG('h', 'v', 'c', '1') : 0;
        video_->time_base = in.time_base;
        video_->sample_aspect_ratio = in.sample_aspect_ratio;
        audio_.add(input_, output_);
        subtitleTrackOf_ = addSubtitleStreams(output_, input_);
        return copyChaptersAndMetadata(output_, input_, window_ ? &*window_ : nullptr);
    }

    int copyPackets() {
        const PacketPtr packet = makePacket();
        int status = 0;
        while ((status = av_read_frame(&input_, packet.get())) >= 0) {
            const int written = placeInWindow(*packet) ? writePacket(*packet) : 0;
            av_packet_unref(packet.get());
            if (written < 0) return written;
        }
        return status == AVERROR_EOF ? audio_.finish() : status;
    }

private:
    // A windowed copy keeps the packets shown inside the window and moves
    // them to its clock; every other packet is dropped (false).
    bool placeInWindow(AVPacket& packet) {
        if (!window_) return true;
        const AVRational base = input_.streams[packet.stream_index]->time_base;
        const int64_t time = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
        if (time == AV_NOPTS_VALUE) return false;
        const int64_t start = av_rescale_q(window_->start, AV_TIME_BASE_Q, base);
        if (time < start || time >= av_rescale_q(window_->end, AV_TIME_BASE_Q, base)) return false;
        packet.pts = packet.pts == AV_NOPTS_VALUE ? packet.pts : packet.pts - start;
        packet.dts = packet.dts == AV_NOPTS_VALUE ? packet.dts : packet.dts - start;
        return true;
    }

    int writePacket(AVPacket& packet) {
        const int source = packet.stream_index;
        if (source == videoIndex_) return copyInto(packet, *video_);
        if (const int subtitle = copiedStream(subtitleTrackOf_, source); subtitle >= 0)
            return copyInto(packet, *output_.streams[subtitle]);
        return audio_.write(packet);
    }

    int copyInto(AVPacket& packet, const AVStream& target) {
        return writeCopiedPacket(output_, packet, input_.streams[packet.stream_index]->time_base, target);
    }

    AVFormatContext& input_;
    AVFormatContext& output_;
    int videoIndex_;
    AVStream* video_ = nullptr;
    AudioTracks audio_;
    std::vector<int> subtitleTrackOf_;  // source stream index -> output index, or -1
    std::optional<TimeWindow> window_;  // copy only this stretch, from its start
};

// Writes the remuxed movie at `partial`, which the caller renames into place.
Status writeRemux(AVFormatContext& input, int videoIndex, const fs::path& partial,
                  std::optional<TimeWindow> window, const SoundPlan* sound) {
    OutputContextPtr output;
    if (int error = allocateOutput(partial, output); error < 0) return Error{errorText(error)};
    Remuxer remuxer(input, *output, videoIndex, window, sound);
    int error = remuxer.addStreams();
    if (error >= 0) error = avio_open(&output->pb, partial.c_str(), AVIO_FLAG_WRITE);
    if (error >= 0) error = avformat_write_header(output.get(), nullptr);
    if (error >= 0) error = remuxer.copyPackets();
    if (error >= 0) error = av_write_trailer(output.get());
    if (error >= 0) error = avio_closep(&output->pb);
    return error < 0 ? Status(Error{errorText(error)}) : Status();
}

// Fails when the container `to` names cannot hold the video of `input`.
Status checkHolds(const AVFormatContext& input, int video, const fs::path& to) {
    const std::string codec = avcodec_get_name(input.streams[video]->codecpar->codec_id);
    const std::vector<std::string> holding = extensionsHolding(codec);
    if (std::find(holding.begin(), holding.end(), lowerExtension(to)) == holding.end())
        return Error{"a " + to.extension().string() + " movie cannot hold " + codec + " video"};
    return {};
}

// Writes beside `to` and renames into place; nothing is left behind on failure.
Status writeInPlace(AVFormatContext& input, int video, const fs::path& to, std::optional<TimeWindow> window,
                    const SoundPlan* sound) {
    const fs::path partial = partialNameBeside(to, lowerExtension(to));
    Status written = writeRemux(input, video, partial, window, sound);
    if (written) written = moveFileAtomically(partial, to);
    std::error_code ignored;
    if (!written) fs::remove(partial, ignored);
    return written;
}

// `span` on the file's clock, starting at the key frame at or before its in
// point (the demuxer stands on that key frame afterwards).
Result<TimeWindow> keyFrameWindow(AVFormatContext& input, int video, const MovieSpan& span) {
    const AVStream& stream = *input.streams[video];
    const int64_t first = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
    const int64_t origin = av_rescale_q(first, stream.time_base, AV_TIME_BASE_Q);
    const int64_t in = origin + std::llround(span.in * AV_TIME_BASE);
    const int64_t out = std::isfinite(span.out) ? origin + std::llround(span.out * AV_TIME_BASE) : INT64_MAX;
    const int64_t target = av_rescale_q(in, AV_TIME_BASE_Q, stream.time_base);
    if (int error = av_seek_frame(&input, video, target, AVSEEK_FLAG_BACKWARD); error < 0)
        return Error{"cannot seek in the movie: " + errorText(error)};
    const PacketPtr packet = makePacket();
    while (av_read_frame(&input, packet.get()) >= 0) {
        const bool key = packet->stream_index == video && (packet->flags & AV_PKT_FLAG_KEY);
        const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        av_packet_unref(packet.get());
        if (!key || time == AV_NOPTS_VALUE) continue;
        const int64_t start = std::min(av_rescale_q(time, stream.time_base, AV_TIME_BASE_Q), in);
        if (int error = av_seek_frame(&input, video, target, AVSEEK_FLAG_BACKWARD); error < 0)
            return Error{"cannot seek in the movie: " + errorText(error)};
        return TimeWindow{start, out};
    }
    return Error{"no key frame found before the in point"};
}

}  // namespace

Result<std::string> videoCodecName(const fs::path& movie) {
    Result<InputContextPtr> input = openedInput(movie);
    if (!input) return Error{input.error()};
    const int video = firstVideoStream(**input);
    if (video < 0) return Error{"no video track"};
    return std::string(avcodec_get_name((*input)->streams[video]->codecpar->codec_id));
}

Result<double> remuxSpan(const fs::path& from, const fs::path& to, const MovieSpan& span,
                         const SoundPlan* sound) {
    Result<InputContextPtr> input = openedInput(from);
    if (!input) return Error{input.error()};
    const int video = firstVideoStream(**input);
    if (video < 0) return Error{"no video track"};
    if (const Status holds = checkHolds(**input, video, to); !holds) return Error{holds.error()};
    const Result<TimeWindow> window = keyFrameWindow(**input, video, span);
    if (!window) return Error{window.error()};
    const AVStream& stream = *(*input)->streams[video];
    const int64_t first = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
    const double early =
        span.in - static_cast<double>(window->start - av_rescale_q(first, stream.time_base, AV_TIME_BASE_Q)) /
                      AV_TIME_BASE;
    const Status written = writeInPlace(**input, video, to, *window, sound);
    if (!written) return Error{written.error()};
    return early;
}

Status remuxMovie(const fs::path& from, const fs::path& to, const SoundPlan* sound) {
    Result<InputContextPtr> input = openedInput(from);
    if (!input) return Error{input.error()};
    const int video = firstVideoStream(**input);
    if (video < 0) return Error{"no video track"};
    if (const Status holds = checkHolds(**input, video, to); !holds) return holds;
    return writeInPlace(**input, video, to, std::nullopt, sound);
}

}  // namespace tintreel
