#include "platform/media/Remux.h"

#include <algorithm>
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
    Remuxer(AVFormatContext& input, AVFormatContext& output, int videoIndex)
        : input_(input), output_(output), videoIndex_(videoIndex) {}

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
        return copyChaptersAndMetadata(output_, input_);
    }

    int copyPackets() {
        const PacketPtr packet = makePacket();
        int status = 0;
        while ((status = av_read_frame(&input_, packet.get())) >= 0) {
            const int written = writePacket(*packet);
            av_packet_unref(packet.get());
            if (written < 0) return written;
        }
        return status == AVERROR_EOF ? audio_.finish() : status;
    }

private:
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
};

// Writes the remuxed movie at `partial`, which the caller renames into place.
Status writeRemux(AVFormatContext& input, int videoIndex, const fs::path& partial) {
    OutputContextPtr output;
    if (int error = allocateOutput(partial, output); error < 0) return Error{errorText(error)};
    Remuxer remuxer(input, *output, videoIndex);
    int error = remuxer.addStreams();
    if (error >= 0) error = avio_open(&output->pb, partial.c_str(), AVIO_FLAG_WRITE);
    if (error >= 0) error = avformat_write_header(output.get(), nullptr);
    if (error >= 0) error = remuxer.copyPackets();
    if (error >= 0) error = av_write_trailer(output.get());
    if (error >= 0) error = avio_closep(&output->pb);
    return error < 0 ? Status(Error{errorText(error)}) : Status();
}

}  // namespace

Result<std::string> videoCodecName(const fs::path& movie) {
    Result<InputContextPtr> input = openedInput(movie);
    if (!input) return Error{input.error()};
    const int video = firstVideoStream(**input);
    if (video < 0) return Error{"no video track"};
    return std::string(avcodec_get_name((*input)->streams[video]->codecpar->codec_id));
}

Status remuxMovie(const fs::path& from, const fs::path& to) {
    Result<InputContextPtr> input = openedInput(from);
    if (!input) return Error{input.error()};
    const int video = firstVideoStream(**input);
    if (video < 0) return Error{"no video track"};
    const std::string codec = avcodec_get_name((*input)->streams[video]->codecpar->codec_id);
    const std::vector<std::string> holding = extensionsHolding(codec);
    if (std::find(holding.begin(), holding.end(), lowerExtension(to)) == holding.end())
        return Error{"a " + to.extension().string() + " movie cannot hold " + codec + " video"};
    const fs::path partial = partialNameBeside(to, lowerExtension(to));
    Status written = writeRemux(**input, video, partial);
    if (written) written = moveFileAtomically(partial, to);
    std::error_code ignored;
    if (!written) fs::remove(partial, ignored);
    return written;
}

}  // namespace tintreel
