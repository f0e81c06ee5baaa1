#include "platform/media/MediaOutput.h"

#include <cstring>

#include "platform/system/Log.h"

namespace tintreel::media {
namespace {

// Whether the container takes this audio as it is. The MPEG-4 muxer lists
// FLAC and TrueHD but writes them only when asked for experimental output,
// which players need not read: those count as not accepted.
bool acceptsAudio(const AVOutputFormat& format, AVCodecID codec) {
    if (avformat_query_codec(&format, codec, FF_COMPLIANCE_NORMAL) != 1) return false;
    const bool mpeg4Family = std::strcmp(format.name, "mp4") == 0 || std::strcmp(format.name, "mov") == 0 ||
                             std::strcmp(format.name, "ipod") == 0 || std::strcmp(format.name, "3gp") == 0 ||
                             std::strcmp(format.name, "3g2") == 0;
    return !(mpeg4Family && (codec == AV_CODEC_ID_FLAC || codec == AV_CODEC_ID_TRUEHD));
}

}  // namespace

int allocateOutput(const std::filesystem::path& path, OutputContextPtr& output) {
    AVFormatContext* raw = nullptr;
    int error = avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str());
    if (error < 0) error = avformat_alloc_output_context2(&raw, nullptr, "mov", path.c_str());
    if (error >= 0) output.reset(raw);
    return std::min(error, 0);
}

void AudioCopy::addTracks(AVFormatContext& output, const AVFormatContext& source) {
    trackOf_.assign(source.nb_streams, -1);
    sourceTimeBases_.assign(source.nb_streams, AVRational{1, 1});
    for (unsigned i = 0; i < source.nb_streams; ++i) {
        const AVStream& in = *source.streams[i];
        if (in.codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
        if (!acceptsAudio(*output.oformat, in.codecpar->codec_id)) {
            logLine(std::string("Audio track not copied: ") + avcodec_get_name(in.codecpar->codec_id) +
                    " is not accepted by " + output.oformat->name);
            continue;
        }
        AVStream* out = avformat_new_stream(&output, nullptr);
        if (!out || avcodec_parameters_copy(out->codecpar, in.codecpar) < 0) continue;
        out->codecpar->codec_tag = 0;
        out->time_base = in.time_base;
        trackOf_[i] = out->index;
        sourceTimeBases_[i] = in.time_base;
    }
}

int AudioCopy::write(AVFormatContext& output, AVPacket& packet) const {
    const int source = packet.stream_index;
    if (source < 0 || source >= static_cast<int>(trackOf_.size()) || trackOf_[source] < 0) return 0;
    const int target = trackOf_[source];
    av_packet_rescale_ts(&packet, sourceTimeBases_[source], output.streams[target]->time_base);
    packet.stream_index = target;
    packet.pos = -1;
    return av_interleaved_write_frame(&output, &packet);
}

}  // namespace tintreel::media
