#pragma once
// SizeTarget: how a movie is made to fit a file size. From the size, the
// output's duration and its sound, the plan gives the video an average bit
// rate and decides whether the sound is copied or re-encoded smaller; a
// target that cannot hold even the smallest sound and a usable picture is
// refused before anything is rendered. After the final pass, the file's
// real size says whether it fits or the pass must run again at a lower rate.
//
// Plain values and arithmetic: any thread.

#include <optional>

#include "platform/system/Result.h"

namespace tintreel {

// What the output's sound would take as it is.
struct SoundFacts {
    int tracks = 0;
    double bitsPerSecond = 0.0;  // every track together, as the source stores them
};

struct SizePlan {
    long long videoBitsPerSecond = 0;
    // Per track, when the sound is re-encoded; 0 when it is copied.
    long long audioBitsPerSecond = 0;
};

// The file must end at no more than the target, and at least this share of
// it unless the encoder's best picture needs less.
inline constexpr double kLeastShareOfTarget = 0.85;

// The plan for a file of at most `maxBytes` holding `seconds` of movie with
// `sound`, or why no such file can be made.
Result<SizePlan> planForSize(long long maxBytes, double seconds, const SoundFacts& sound);

// The plan again after a final pass wrote `writtenBytes` with `plan`: a
// lower video rate when the file is over the target, nothing when it fits.
std::optional<SizePlan> replanForSize(const SizePlan& plan, long long maxBytes, long long writtenBytes,
                                      double seconds);

}  // namespace tintreel
