#include "platform/media/MediaOutput.h"

#include <algorithm>
#include <cmath>

namespace tintreel::media {

int allocateOutput(const std::filesystem::path& path, OutputContextPtr& output) {
    AVFormatContext* raw = nullptr;
    int error = avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str());
    if (error < 0) error = avformat_alloc_output_context2(&raw, nullptr, "mov", path.c_str());
    if (error >= 0) output.reset(raw);
    return std::min(error, 0);
}

int writeCopiedPacket(AVFormatContext& output, AVPacket& packet, AVRational from, const AVStream& target) {
    av_packet_rescale_ts(&packet, from, target.time_base);
    packet.stream_index = target.index;
    packet.pos = -1;
    return av_interleaved_write_frame(&output, &packet);
}

}  // namespace tintreel::media

namespace tintreel::media {

TimeWindow windowOf(const MovieSpan& span, const AVStream& video) {
    const int64_t first = video.start_time == AV_NOPTS_VALUE ? 0 : video.start_time;
    const int64_t origin = av_rescale_q(first, video.time_base, AV_TIME_BASE_Q);
    const auto micros = [](double seconds) { return std::llround(seconds * AV_TIME_BASE); };
    return {origin + micros(span.in), std::isfinite(span.out) ? origin + micros(span.out) : INT64_MAX};
}

int writeCopiedPacketIn(AVFormatContext& output, AVPacket& packet, AVRational from, const AVStream& target,
                        const TimeWindow& window) {
    const int64_t time = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (time == AV_NOPTS_VALUE) return 0;
    const int64_t start = av_rescale_q(window.start, AV_TIME_BASE_Q, from);
    const int64_t end = window.end == INT64_MAX ? INT64_MAX : av_rescale_q(window.end, AV_TIME_BASE_Q, from);
    const int64_t finish = packet.duration > 0 ? time + packet.duration : time + 1;
    if (time >= end || finish <= start) return 0;
    const int64_t shift = std::max(start, time) - time;  // what lies before the window
    if (packet.duration > 0) packet.duration -= shift;
    packet.pts = time + shift - start;
    packet.dts = packet.pts;
    return writeCopiedPacket(output, packet, from, target);
}

}  // namespace tintreel::media
