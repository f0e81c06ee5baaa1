#include "platform/media/FrameImage.h"

#include <cmath>

#include "platform/media/MediaInput.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace {

using namespace media;

std::nullopt_t reportFailure(int error) {
    logLine("Image generation failed with error " + errorText(error));
    return std::nullopt;
}

// Decodes forward from the current read position and keeps the last frame
// whose timestamp is not after `target`. Returns 0 or an error code.
int decodeFrameAt(AVFormatContext& input, int streamIndex, VideoDecoder& decoder, int64_t target,
                  FramePtr& chosen) {
    PacketPtr packet = makePacket();
    FramePtr frame = makeFrame();
    bool draining = false;
    while (true) {
        int status = decoder.receive(frame.get());
        if (status == 0) {
            const int64_t time = frameTimestamp(*frame);
            if (chosen && time != AV_NOPTS_VALUE && time > target) return 0;
            chosen = std::move(frame);
            frame = makeFrame();
            continue;
        }
        if (status == AVERROR_EOF) return chosen ? 0 : AVERROR_EOF;
        if (status != AVERROR(EAGAIN)) return status;
        if (draining) return chosen ? 0 : AVERROR_EOF;
        status = av_read_frame(&input, packet.get());
        if (status == AVERROR_EOF) {
            draining = true;
            decoder.send(nullptr);
            continue;
        }
        if (status < 0) return status;
        if (packet->stream_index == streamIndex) decoder.send(packet.get());
        av_packet_unref(packet.get());
    }
}

// How finely a requested time is read: the older callers ask in 1/60 s, the
// timeline in the stream's own ticks.
enum class TimeGrid { Sixtieths, StreamTicks };

int64_t streamStart(const AVStream& stream) {
    return stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
}

int64_t streamTimeOf(const AVStream& stream, double seconds, TimeGrid grid) {
    if (grid == TimeGrid::StreamTicks)
        return streamStart(stream) + std::llround(seconds / av_q2d(stream.time_base));
    const int64_t sixtieths = std::llround(seconds * 60.0);
    return streamStart(stream) + av_rescale_q(sixtieths, AVRational{1, 60}, stream.time_base);
}

// One attempt at the frame shown at `seconds`: opens the file and decodes
// forward, after a seek or from the start.
class FrameLookup {
public:
    enum Outcome { Found, PastTheEnd, Failed, LandedLate };

    FrameLookup(const std::filesystem::path& path, double seconds, TimeGrid grid)
        : path_(path), seconds_(seconds), grid_(grid) {}

    Outcome run(bool seek) {
        if ((error_ = openInput(path_, input_)) < 0) return Failed;
        if (seconds_ > media::durationSeconds(*input_)) return PastTheEnd;
        streamIndex_ = firstVideoStream(*input_);
        if (streamIndex_ < 0) return fail(AVERROR_STREAM_NOT_FOUND);
        const AVStream& stream = *input_->streams[streamIndex_];
        VideoDecoder decoder;
        if ((error_ = decoder.open(stream)) < 0) return Failed;
        const int64_t target = streamTimeOf(stream, std::max(0.0, seconds_), grid_);
        // A failed seek leaves the position at the start, from where decoding forward still finds the frame.
        if (seek) av_seek_frame(input_.get(), streamIndex_, target, AVSEEK_FLAG_BACKWARD);
        if ((error_ = decodeFrameAt(*input_, streamIndex_, decoder, target, chosen_)) < 0) return Failed;
        const int64_t time = frameTimestamp(*chosen_);
        if (seek && time != AV_NOPTS_VALUE && time > target) return LandedLate;
        return Found;
    }

    std::optional<Image> picture() const {
        std::optional<Image> converted = RgbaConverter().convert(*chosen_);
        if (!converted) return reportFailure(AVERROR(EINVAL));
        return rotated(*converted, uprightOrientation(describeTrack(*input_->streams[streamIndex_])).rotation);
    }
    // The chosen frame's time on the clock of FrameTimes and the render; a
    // frame without a timestamp counts as the first.
    double seconds() const {
        const AVStream& stream = *input_->streams[streamIndex_];
        const int64_t time = frameTimestamp(*chosen_);
        if (time == AV_NOPTS_VALUE) return 0.0;
        return static_cast<double>(time - streamStart(stream)) * av_q2d(stream.time_base);
    }
    int error() const { return error_; }

private:
    Outcome fail(int error) {
        error_ = error;
        return Failed;
    }

    std::filesystem::path path_;
    double seconds_;
    TimeGrid grid_;
    InputContextPtr input_;
    int streamIndex_ = -1;
    int error_ = 0;
    FramePtr chosen_;
};

}  // namespace

namespace {

// Runs the lookup and hands the finished one to `take`, which makes the answer.
template <typename Take>
auto lookUpFrame(const std::filesystem::path& path, double seconds, TimeGrid grid, Take take)
    -> decltype(take(std::declval<const FrameLookup&>())) {
    switch (FrameLookup lookup(path, seconds, grid); lookup.run(true)) {
    case FrameLookup::Found: return take(lookup);
    case FrameLookup::PastTheEnd: return std::nullopt;
    case FrameLookup::Failed: return reportFailure(lookup.error());
    case FrameLookup::LandedLate: break;
    }
    // The container seeks only roughly (MPEG-TS, for one): decode from the start instead.
    FrameLookup fromStart(path, seconds, grid);
    if (fromStart.run(false) != FrameLookup::Found) return reportFailure(fromStart.error());
    return take(fromStart);
}

}  // namespace

std::optional<Image> FrameImageAtTime(const std::filesystem::path& path, double seconds) {
    return lookUpFrame(path, seconds, TimeGrid::Sixtieths,
                       [](const FrameLookup& found) { return found.picture(); });
}

std::optional<TimedFrame> TimedFrameAtTime(const std::filesystem::path& path, double seconds) {
    return lookUpFrame(path, seconds, TimeGrid::StreamTicks, [](const FrameLookup& found) {
        std::optional<Image> picture = found.picture();
        if (!picture) return std::optional<TimedFrame>();
        return std::optional<TimedFrame>(TimedFrame{std::move(*picture), found.seconds()});
    });
}

}  // namespace tintreel
