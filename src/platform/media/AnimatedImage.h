#pragma once
// AnimatedImage: a rendered movie turned into an animated picture, GIF or
// WebP, as OUTPUT's extension says. Both loop forever and carry no sound.
// The frame rate is capped (frames are dropped evenly, a slower movie keeps
// its own timing) and so is the width, keeping the shape, with even sizes.
//
// A GIF takes two passes over the frames: the first finds one palette of at
// most 256 colours for the whole animation, the second maps every frame to
// it with error-diffusion dithering. A WebP is encoded in one pass.
//
// Ownership: reads `movie`, writes `output`; both are the caller's paths.
// Threads: blocks the calling thread; `progress` is called on it.

#include <atomic>
#include <filesystem>
#include <functional>

#include "platform/media/RenderSettings.h"
#include "platform/system/Result.h"

namespace tintreel {

// `progress` gets the share done, 0 to 1. A raised `cancel` stops at the
// next frame with an error; the file then is no result.
Status writeAnimation(const std::filesystem::path& movie, const std::filesystem::path& output,
                      const AnimationLimits& limits, const std::atomic<bool>& cancel,
                      const std::function<void(float)>& progress);

}  // namespace tintreel
