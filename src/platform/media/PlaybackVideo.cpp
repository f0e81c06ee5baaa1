#include "platform/media/PlaybackVideo.h"

#include <cmath>
#include <deque>

#include "platform/media/MediaInput.h"
#include "platform/media/StreamEnd.h"

namespace tintreel {
using namespace media;

struct PlaybackVideo::Impl {
    struct Decoded {
        FramePtr frame;
        double seconds = 0.0;
    };

    std::shared_ptr<MovieSource> source;
    AVFormatContext* input = nullptr;
    int videoIndex = -1;
    AVRational timeBase{1, 1};
    int64_t first = 0;
    double framesPerSecond = 0.0;
    InputRotation rotation = InputRotation::None;
    std::unique_ptr<VideoDecoder> decoder;
    RgbaConverter converter;
    std::optional<StreamEnd> streamEnd;
    std::deque<Decoded> ready;  // decoded, not yet handed out, in order
    double lastSeconds = NAN;
    bool draining = false;
    std::optional<Error> damage;  // why the packets stopped early

    Status restartDecoder();
    int readPacket(AVPacket& packet);
    int decodeOne(Decoded& out);
    double secondsOf(const AVFrame& frame);
    Status decodeUpTo(int64_t target, bool& landedLate);
};

Status PlaybackVideo::Impl::restartDecoder() {
    decoder = std::make_unique<VideoDecoder>();
    if (int error = decoder->open(*input->streams[videoIndex]); error < 0) return Error{errorText(error)};
    ready.clear();
    lastSeconds = NAN;
    draining = false;
    damage.reset();
    return {};
}

// The next packet of the video track, checked for damage; AVERROR_EOF at the
// end of the packets, or where they stop being whole.
int PlaybackVideo::Impl::readPacket(AVPacket& packet) {
    while (true) {
        const int status = av_read_frame(input, &packet);
        if (status == AVERROR_EOF) {
            if (const Status reached = streamEnd->checkReachedEnd(); !reached)
                damage = Error{"the movie is cut short: " + reached.error()};
            return status;
        }
        if (status < 0) {
            damage = Error{errorText(status)};
            return AVERROR_EOF;
        }
        if (const Status whole = checkPacketWhole(*input, packet); !whole) {
            damage = Error{"the movie is damaged: " + whole.error()};
            av_packet_unref(&packet);
            return AVERROR_EOF;
        }
        streamEnd->saw(packet);
        if (packet.stream_index == videoIndex) return 0;
        av_packet_unref(&packet);
    }
}

// Seconds from the first frame; a frame without a timestamp follows the one
// before by one frame's duration.
double PlaybackVideo::Impl::secondsOf(const AVFrame& frame) {
    const int64_t timestamp = frameTimestamp(frame);
    if (timestamp != AV_NOPTS_VALUE)
        lastSeconds = static_cast<double>(timestamp - first) * av_q2d(timeBase);
    else if (std::isnan(lastSeconds))
        lastSeconds = 0.0;
    else if (framesPerSecond > 0)
        lastSeconds += 1.0 / framesPerSecond;
    return lastSeconds;
}

// 0 with the next decoded frame, AVERROR_EOF when none is left.
int PlaybackVideo::Impl::decodeOne(Decoded& out) {
    PacketPtr packet = makePacket();
    out.frame = makeFrame();
    while (true) {
        const int status = decoder->receive(out.frame.get());
        if (status == 0) {
            out.seconds = secondsOf(*out.frame);
            return 0;
        }
        if (status != AVERROR(EAGAIN) || draining) return AVERROR_EOF;
        if (readPacket(*packet) == AVERROR_EOF) {
            draining = true;
            decoder->send(nullptr);
            continue;
        }
        const int sent = decoder->send(packet.get());
        av_packet_unref(packet.get());
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
            damage = Error{sent == AVERROR_INVALIDDATA ? "the decoder refused a frame" : errorText(sent)};
            draining = true;
            decoder->send(nullptr);
        }
    }
}

// Decodes from where the demuxer stands and keeps the last frame at or
// before `target` with the one after it. `landedLate` when the first frame
// decoded is already past the target (the seek found no earlier key frame).
Status PlaybackVideo::Impl::decodeUpTo(int64_t target, bool& landedLate) {
    const double targetSeconds = static_cast<double>(target - first) * av_q2d(timeBase);
    landedLate = false;
    Decoded frame;
    while (decodeOne(frame) == 0) {
        if (frame.seconds > targetSeconds + 1e-9) {
            landedLate = ready.empty() && frameTimestamp(*frame.frame) > first;
            ready.push_back(std::move(frame));
            return {};
        }
        ready.clear();
        ready.push_back(std::move(frame));
    }
    if (ready.empty() && damage) return *damage;
    return {};
}

Result<std::unique_ptr<PlaybackVideo>> PlaybackVideo::open(std::shared_ptr<MovieSource> source) {
    auto impl = std::make_unique<Impl>();
    impl->input = &source->input();
    impl->videoIndex = source->videoStreamIndex();
    if (impl->videoIndex < 0) return Error{"the movie has no video track"};
    const AVStream& stream = *impl->input->streams[impl->videoIndex];
    impl->timeBase = stream.time_base;
    impl->first = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
    impl->framesPerSecond = source->facts().framesPerSecond();
    impl->rotation = uprightOrientation(describeTrack(stream)).rotation;
    impl->streamEnd.emplace(*impl->input);
    impl->source = std::move(source);
    if (Status started = impl->restartDecoder(); !started) return Error{started.error()};
    return std::unique_ptr<PlaybackVideo>(new PlaybackVideo(std::move(impl)));
}

PlaybackVideo::PlaybackVideo(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
PlaybackVideo::~PlaybackVideo() = default;

double PlaybackVideo::framesPerSecond() const {
    return impl_->framesPerSecond;
}

// Seeks to the key frame before the time and decodes forward; where the
// container's seek lands past the time (a rough seek), from the start.
Status PlaybackVideo::seek(double seconds) {
    Impl& impl = *impl_;
    const int64_t target = impl.first + std::llround(std::max(0.0, seconds) / av_q2d(impl.timeBase));
    for (const int64_t seekTo : {target, impl.first}) {
        if (Status restarted = impl.restartDecoder(); !restarted) return restarted;
        if (av_seek_frame(impl.input, impl.videoIndex, seekTo, AVSEEK_FLAG_BACKWARD) < 0 &&
            av_seek_frame(impl.input, -1, 0, AVSEEK_FLAG_BYTE) < 0)
            return Error{"cannot seek in the movie"};
        bool landedLate = false;
        if (Status found = impl.decodeUpTo(target, landedLate); !found) return found;
        if (!landedLate) return {};
    }
    return {};
}

Result<std::optional<PlaybackFrame>> PlaybackVideo::next(int shrink) {
    Impl& impl = *impl_;
    if (impl.ready.empty()) {
        Impl::Decoded decoded;
        if (impl.decodeOne(decoded) != 0) {
            if (impl.damage) return *impl.damage;
            return std::optional<PlaybackFrame>();
        }
        impl.ready.push_back(std::move(decoded));
    }
    Impl::Decoded decoded = std::move(impl.ready.front());
    impl.ready.pop_front();
    std::optional<Image> picture = impl.converter.convert(*decoded.frame, shrink);
    if (!picture) return Error{"a frame could not be converted"};
    const long long index = std::llround(decoded.seconds * impl.framesPerSecond);
    return std::optional(PlaybackFrame{rotated(*picture, impl.rotation), decoded.seconds, index});
}

}  // namespace tintreel
