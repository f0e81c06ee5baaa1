#include "platform/media/MediaOutput.h"

#include <algorithm>

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
