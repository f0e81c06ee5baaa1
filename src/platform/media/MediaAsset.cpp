#include "platform/media/MediaAsset.h"

#include <algorithm>

#include "platform/media/MovieSource.h"

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

Status MediaAsset::videoStatus() const {
    if (!isReadable()) return Error{openError_};
    if (!videoTrack_) return Error{"no video track"};
    return {};
}

MediaAsset MediaAsset::open(const std::filesystem::path& path) {
    const Result<std::shared_ptr<MovieSource>> source = MovieSource::open(path);
    if (source) return (*source)->facts();
    MediaAsset unreadable;
    unreadable.openError_ = source.error();
    return unreadable;
}

}  // namespace tintreel
