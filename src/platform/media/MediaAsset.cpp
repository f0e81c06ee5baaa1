#include "platform/media/MediaAsset.h"

#include <algorithm>

#include "platform/media/MediaInput.h"

namespace tintreel {

Orientation uprightOrientation(const VideoTrack& track) {
    const PreferredTransform& t = track.transform;
    const int w = track.width, h = track.height;
    const SampleAspect aspect = track.sampleAspect, turned{aspect.den, aspect.num};
    if (t == PreferredTransform{-1, 0, 0, -1}) return {InputRotation::HalfTurn, w, h, aspect};
    if (t == PreferredTransform{0, -1, 1, 0}) return {InputRotation::RotateLeft, h, w, turned};
    if (t == PreferredTransform{0, 1, -1, 0}) return {InputRotation::RotateRight, h, w, turned};
    return {InputRotation::None, w, h, aspect};
}

DisplaySize displaySize(const Orientation& upright) {
    const long long stretched = (2LL * upright.width * upright.sampleAspect.num + upright.sampleAspect.den) /
                                (2LL * upright.sampleAspect.den);
    return {static_cast<int>(std::max(1LL, stretched)), upright.height};
}

std::optional<std::string> MediaAsset::videoProblem() const {
    if (!isReadable()) return openError_;
    if (!videoTrack_) return std::string("no video track");
    return std::nullopt;
}

MediaAsset MediaAsset::open(const std::filesystem::path& path) {
    MediaAsset asset;
    media::InputContextPtr input;
    if (int error = media::openInput(path, input); error < 0) {
        asset.openError_ = media::errorText(error);
        return asset;
    }
    asset.durationSeconds_ = media::durationSeconds(*input);
    if (const int video = media::firstVideoStream(*input); video >= 0) {
        asset.videoTrack_ = media::describeTrack(*input->streams[video]);
        asset.videoSeconds_ = media::videoSeconds(*input);
    }
    asset.audioBitsPerSecondBound_ = media::audioBitsPerSecondBound(*input);
    return asset;
}

}  // namespace tintreel
