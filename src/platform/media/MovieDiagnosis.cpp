#include "platform/media/MovieDiagnosis.h"

#include <unistd.h>

#include <fstream>
#include <vector>

#include "platform/media/MediaInput.h"

namespace tintreel {
namespace {

// Whether the file's first bytes are those of a movie container (an MP4
// whose index never got written, a Matroska file cut after its header),
// judged by content alone, not by the name.
bool startsLikeAMovie(const std::filesystem::path& path) {
    constexpr std::size_t kProbeBytes = 4096;
    std::vector<unsigned char> start(kProbeBytes + AVPROBE_PADDING_SIZE, 0);
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(start.data()), kProbeBytes);
    AVProbeData probe{};
    probe.filename = "";
    probe.buf = start.data();
    probe.buf_size = static_cast<int>(file.gcount());
    int score = 0;
    return probe.buf_size > 0 && av_probe_input_format3(&probe, 1, &score) && score > AVPROBE_SCORE_MAX / 2;
}

bool hasAnyVideoStream(const AVFormatContext& input) {
    for (unsigned i = 0; i < input.nb_streams; ++i)
        if (input.streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) return true;
    return false;
}

}  // namespace

NoPictureReason whyNoFirstPicture(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status) || ::access(path.c_str(), R_OK) != 0)
        return NoPictureReason::CannotBeRead;
    // Checked before opening: a FIFO or a device could block the open.
    if (!std::filesystem::is_regular_file(status)) return NoPictureReason::NotAMovie;
    if (std::filesystem::file_size(path, error) == 0) return NoPictureReason::CutShort;
    media::InputContextPtr input;
    if (media::openInput(path, input) < 0)
        return startsLikeAMovie(path) ? NoPictureReason::CutShort : NoPictureReason::NotAMovie;
    if (media::firstVideoStream(*input) >= 0) return NoPictureReason::CutShort;
    // A still picture probes as a one-picture video stream.
    return hasAnyVideoStream(*input) ? NoPictureReason::NotAMovie : NoPictureReason::NoVideoTrack;
}

}  // namespace tintreel
