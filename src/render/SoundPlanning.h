#pragma once
// What a render does to its movie's sound: worked out once, before the first
// pass, from the sound controls of the look, the output's length and, when
// the loudness is normalised, the loudness of the output's span measured
// track by track (only the sound is decoded for that).
//
// Threads: any thread; measuring blocks it while the sound is decoded.

#include <atomic>
#include <optional>
#include <vector>

#include "platform/media/LoudnessMeter.h"
#include "platform/media/MovieSource.h"
#include "platform/media/SoundShaping.h"
#include "platform/system/Result.h"
#include "render/RenderWorker.h"

namespace tintreel {

// Whether the request asks for its sound's loudness and has none measured yet.
bool needsLoudness(const RenderRequest& request, const MovieSource& source);

// The loudness of the request's span of `source`, track by track. Cancelling
// fails it.
Result<std::vector<TrackLoudness>> measureSpanLoudness(const RenderRequest& request, const MovieSource& source,
                                                       const std::atomic<bool>& cancel);

// How the render shapes the sound: nothing when it is copied untouched (every
// control at its default, a slice, or a movie without sound).
std::optional<SoundPlan> soundPlanFor(const RenderRequest& request, const MovieSource& source);

// Says, once per render, what the plan does that the user did not ask for
// in so many words: a fade shortened to half the movie, each track's gain,
// a track held under the target by its ceiling, sound settings unused.
void logSoundPlan(const RenderRequest& request, const MovieSource& source);

}  // namespace tintreel
