#include "platform/media/StreamEnd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tintreel::media {
namespace {

// A container's stated length and the end of its last packet differ by a
// frame or two (packets without a duration, audio padding): only a larger
// gap is a cut.
constexpr double kToleratedSeconds = 0.25;
constexpr int kToleratedFrames = 2;

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", value);
    return text;
}

double fileStartSeconds(const AVFormatContext& input) {
    return input.start_time == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(input.start_time) / AV_TIME_BASE;
}

// The longest frame duration of the file's video streams, in seconds.
double longestFrameSeconds(const AVFormatContext& input) {
    double longest = 0.0;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream& stream = *input.streams[i];
        const AVRational rate = stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
        if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO && rate.num > 0 && rate.den > 0)
            longest = std::max(longest, av_q2d(av_inv_q(rate)));
    }
    return longest;
}

}  // namespace

void StreamEnd::saw(const AVPacket& packet) {
    if (packet.stream_index < 0 || packet.stream_index >= static_cast<int>(input_.nb_streams)) return;
    const int64_t start = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (start == AV_NOPTS_VALUE) return;
    const AVRational timeBase = input_.streams[packet.stream_index]->time_base;
    const double end = static_cast<double>(start + std::max<int64_t>(packet.duration, 0)) * av_q2d(timeBase);
    reached_ = std::max(reached_, end);
    if (input_.streams[packet.stream_index]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) return;
    ++videoPackets_;
    videoDurationsKnown_ = videoDurationsKnown_ || packet.duration > 0;
}

// A transport stream is a run of fixed-size packets (188 bytes, 192 in
// Blu-ray files, 204 with error correction): a file that is no whole number
// of them was cut inside its last packet.
std::optional<std::string> partialTransportPacket(const AVFormatContext& input) {
    if (!input.iformat || std::strcmp(input.iformat->name, "mpegts") != 0 || !input.pb) return std::nullopt;
    const int64_t size = avio_size(input.pb);
    if (size <= 0 || size % 188 == 0 || size % 192 == 0 || size % 204 == 0) return std::nullopt;
    return "its last transport packet is incomplete (" + std::to_string(size) +
           " bytes are no whole number of packets)";
}

Status StreamEnd::checkReachedEnd() const {
    if (auto partial = partialTransportPacket(input_)) return Error{*partial};
    if (input_.duration_estimation_method != AVFMT_DURATION_FROM_STREAM || input_.duration <= 0) return {};
    // One frame without a duration (a one-frame slice) gives nothing to
    // measure the announced length against: its frame may last all of it.
    if (videoPackets_ == 1 && !videoDurationsKnown_) return {};
    const double announced = static_cast<double>(input_.duration) / AV_TIME_BASE;
    const double tolerated = std::max(kToleratedSeconds, kToleratedFrames * longestFrameSeconds(input_));
    // Most containers announce the length from the first timestamp; Matroska
    // the time of the last one, which for a movie starting late (a slice) is
    // more. A whole file reaches the announced end one way or the other.
    const double reached = std::max(reached_, reached_ - fileStartSeconds(input_));
    if (announced - reached <= tolerated) return {};
    return Error{"it ends at " + seconds(reached) + " of the " + seconds(announced) + " its file announces"};
}

Status checkPacketWhole(const AVFormatContext& input, const AVPacket& packet) {
    if (!(packet.flags & AV_PKT_FLAG_CORRUPT)) return {};
    const AVStream& stream = *input.streams[packet.stream_index];
    const char* kind = av_get_media_type_string(stream.codecpar->codec_type);
    return Error{std::string("a packet of its ") + (kind ? kind : "data") + " track " +
                 std::to_string(packet.stream_index) + " is incomplete or damaged"};
}

}  // namespace tintreel::media
