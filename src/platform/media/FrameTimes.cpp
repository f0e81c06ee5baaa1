#include "platform/media/FrameTimes.h"

#include <algorithm>
#include <cmath>

#include "platform/media/MediaInput.h"

namespace tintreel {
namespace {

// Positions typed or dragged by the user land on a frame within this much of it.
constexpr double kSameInstant = 1e-6;

}  // namespace

FrameTimes::FrameTimes(std::vector<double> seconds) : seconds_(std::move(seconds)) {
    std::sort(seconds_.begin(), seconds_.end());
    seconds_.erase(std::unique(seconds_.begin(), seconds_.end()), seconds_.end());
}

FrameTimes FrameTimes::evenlySpaced(double framesPerSecond, double durationSeconds) {
    std::vector<double> seconds{0.0};
    if (framesPerSecond > 0 && std::isfinite(framesPerSecond) && durationSeconds > 0) {
        const auto frames = static_cast<std::size_t>(std::llround(durationSeconds * framesPerSecond));
        for (std::size_t index = 1; index < frames; ++index) seconds.push_back(index / framesPerSecond);
    }
    return FrameTimes(std::move(seconds));
}

std::size_t FrameTimes::indexAt(double seconds) const {
    const auto after = std::upper_bound(seconds_.begin(), seconds_.end(), seconds + kSameInstant);
    return after == seconds_.begin() ? 0 : static_cast<std::size_t>(after - seconds_.begin()) - 1;
}

double FrameTimes::next(double seconds) const {
    if (seconds_.empty()) return 0.0;
    return seconds_[std::min(indexAt(seconds) + 1, seconds_.size() - 1)];
}

double FrameTimes::previous(double seconds) const {
    if (seconds_.empty()) return 0.0;
    const std::size_t shown = indexAt(seconds);
    return seconds_[shown == 0 ? 0 : shown - 1];
}

std::optional<FrameTimes> readFrameTimes(const std::filesystem::path& path, const std::atomic<bool>& stop) {
    using namespace media;
    InputContextPtr input;
    if (openInput(path, input) < 0) return std::nullopt;
    const int streamIndex = firstVideoStream(*input);
    if (streamIndex < 0) return std::nullopt;
    const AVStream& stream = *input->streams[streamIndex];
    const int64_t start = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
    const double tick = av_q2d(stream.time_base);
    std::vector<double> seconds;
    PacketPtr packet = makePacket();
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (stop) return std::nullopt;
        const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (packet->stream_index == streamIndex && time != AV_NOPTS_VALUE &&
            !(packet->flags & AV_PKT_FLAG_DISCARD))
            seconds.push_back(static_cast<double>(time - start) * tick);
        av_packet_unref(packet.get());
    }
    if (seconds.empty()) return std::nullopt;
    return FrameTimes(std::move(seconds));
}

}  // namespace tintreel
