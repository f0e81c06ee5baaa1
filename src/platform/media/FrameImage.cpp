#include "platform/media/FrameImage.h"

#include <cmath>

#include "platform/media/MediaInput.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace {

using namespace media;

std::optional<Image> reportFailure(int error) {
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

int64_t streamTimeOf(const AVStream& stream, double seconds) {
    const int64_t sixtieths = std::llround(seconds * 60.0);
    const int64_t start = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
    return start + av_rescale_q(sixtieths, AVRational{1, 60}, stream.time_base);
}

}  // namespace

std::optional<Image> FrameImageAtTime(const std::filesystem::path& path, double seconds) {
    InputContextPtr input;
    if (int error = openInput(path, input); error < 0) return reportFailure(error);
    if (seconds > media::durationSeconds(*input)) return std::nullopt;
    const int streamIndex = firstVideoStream(*input);
    if (streamIndex < 0) return reportFailure(AVERROR_STREAM_NOT_FOUND);
    const AVStream& stream = *input->streams[streamIndex];
    VideoDecoder decoder;
    if (int error = decoder.open(stream); error < 0) return reportFailure(error);

    const int64_t target = streamTimeOf(stream, std::max(0.0, seconds));
    // A failed seek leaves the position at the start, from where decoding forward still finds the frame.
    av_seek_frame(input.get(), streamIndex, target, AVSEEK_FLAG_BACKWARD);
    FramePtr chosen;
    if (int error = decodeFrameAt(*input, streamIndex, decoder, target, chosen); error < 0)
        return reportFailure(error);
    std::optional<Image> picture = RgbaConverter().convert(*chosen);
    if (!picture) return reportFailure(AVERROR(EINVAL));
    return rotated(*picture, uprightOrientation(describeTrack(stream)).rotation);
}

}  // namespace tintreel
