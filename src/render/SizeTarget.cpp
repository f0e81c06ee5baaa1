#include "render/SizeTarget.h"

#include <algorithm>
#include <cmath>

#include "platform/media/RenderSettings.h"

namespace tintreel {
namespace {

// The part of the file the container's own tables and headers take: a
// share of the size plus a fixed amount for the headers of a short movie.
constexpr double kContainerShare = 0.02;
constexpr double kContainerBytes = 4096.0;
// The encoder's average lands within a few percent of the asked rate; this
// keeps its overshoot inside the target.
constexpr double kRateMargin = 0.95;
// The sound is copied while it takes at most this share of the file.
constexpr double kCopiedSoundShare = 0.25;
// A re-encoded track gets this share of the file, between the two rates.
constexpr double kReencodedSoundShare = 0.15;
constexpr long long kLeastAudioBitsPerSecond = 24000;
constexpr long long kMostAudioBitsPerSecond = 128000;
// Below this the picture is no longer worth watching at any size.
constexpr long long kLeastVideoBitsPerSecond = 16000;

double usableBitsPerSecond(long long maxBytes, double seconds) {
    const double bytes = static_cast<double>(maxBytes) * (1.0 - kContainerShare) - kContainerBytes;
    return std::max(0.0, bytes) * 8.0 / seconds;
}

// The bits per second all the sound takes with `perTrack` (0: copied).
double soundBitsPerSecond(const SoundFacts& sound, long long perTrack) {
    return perTrack > 0 ? static_cast<double>(perTrack) * sound.tracks : sound.bitsPerSecond;
}

}  // namespace

Result<SizePlan> planForSize(long long maxBytes, double seconds, const SoundFacts& sound) {
    if (maxBytes <= 0) return Error{"the file size must be more than 0 bytes"};
    if (!(seconds > 0.0)) return Error{"the movie's duration is unknown, so no bit rate fits a file size"};
    const double usable = usableBitsPerSecond(maxBytes, seconds);
    SizePlan plan;
    if (sound.tracks > 0 &&
        !(sound.bitsPerSecond > 0.0 && sound.bitsPerSecond <= usable * kCopiedSoundShare)) {
        const double share = usable * kReencodedSoundShare / sound.tracks;
        plan.audioBitsPerSecond =
            std::clamp(static_cast<long long>(share), kLeastAudioBitsPerSecond, kMostAudioBitsPerSecond);
    }
    const double video = (usable - soundBitsPerSecond(sound, plan.audioBitsPerSecond)) * kRateMargin;
    if (video < static_cast<double>(kLeastVideoBitsPerSecond)) {
        const double least = (static_cast<double>(kLeastAudioBitsPerSecond) * sound.tracks +
                              kLeastVideoBitsPerSecond / kRateMargin) *
                                 seconds / 8.0 / (1.0 - kContainerShare) +
                             kContainerBytes;
        return Error{byteSizeText(maxBytes) + " is too small for " + std::to_string(std::lround(seconds)) +
                     " s of this movie" + (sound.tracks > 0 ? " and its sound" : "") +
                     ": it needs at least " + byteSizeText(static_cast<long long>(std::ceil(least)))};
    }
    plan.videoBitsPerSecond = static_cast<long long>(video);
    return plan;
}

std::optional<SizePlan> replanForSize(const SizePlan& plan, long long maxBytes, long long writtenBytes,
                                      double seconds) {
    if (writtenBytes <= maxBytes || !(seconds > 0.0)) return std::nullopt;
    // Take the excess out of the video, with the same margin as the plan.
    const double excessBitsPerSecond = static_cast<double>(writtenBytes - maxBytes) * 8.0 / seconds;
    SizePlan lower = plan;
    lower.videoBitsPerSecond = static_cast<long long>(
        (static_cast<double>(plan.videoBitsPerSecond) - excessBitsPerSecond / kRateMargin) * kRateMargin);
    if (lower.videoBitsPerSecond < kLeastVideoBitsPerSecond) return std::nullopt;
    return lower;
}

}  // namespace tintreel
