#pragma once
// How a watermark's numbers apply to one frame. The size rule: with "Scale
// with Video" on, sizes and offsets are read as made for a frame whose
// shorter side is 1080 pixels and follow the frame's shorter side. The time
// rule: a watermark shows from its start to its end (an end of 0 means to
// the last frame, see watermarksEndingAt), fading in and out over its fade.
//
// The drawing and placement code only ever sees numbers that these rules
// have already applied, so the still preview, the movie pass and whatever
// measures a watermark on screen agree. Pure functions; any thread.

#include "imaging/EffectSettings.h"

namespace tintreel {

inline constexpr double kDesignShorterSide = 1080.0;

// The shorter side of a width x height frame / 1080 when `scaleWithVideo`,
// else `pixelScale`: the factor a frame shrunk from the size the numbers
// were made for (a preview at half size) is shrunk by; exactly 1 for full
// frames. A shrunk frame's shorter side already carries that factor.
double watermarkScaleFactor(bool scaleWithVideo, int width, int height, double pixelScale = 1.0);

// The settings with each watermark's sizes and offsets as they are drawn on
// a width x height frame: the text's size and offsets, the picture's scale
// and offsets, each multiplied by its watermark's factor. On a full frame a
// watermark with "Scale with Video" off keeps its numbers exactly.
EffectSettings watermarksForFrame(const EffectSettings& settings, int width, int height,
                                  double pixelScale = 1.0);

// When a watermark shows, in seconds from the movie's first frame.
struct WatermarkTiming {
    double start = 0;
    double end = 0;  // 0: to the end of the movie
    double fade = 0;
};
WatermarkTiming textWatermarkTiming(const EffectSettings& settings);
WatermarkTiming imageWatermarkTiming(const EffectSettings& settings);

// The settings for a movie `movieSeconds` long (from its first frame): a
// watermark shown to the end (end 0) with a fade fades out as the movie
// ends, so its end becomes the movie's length. Unknown lengths (0 or less)
// and watermarks without a fade keep their numbers.
EffectSettings watermarksEndingAt(const EffectSettings& settings, double movieSeconds);

// The share of the watermark's opacity that shows at `seconds`: 0 before
// the start and from a set end on; rising linearly from 0 at the start to 1
// at start + fade, and falling from 1 at end - fade to 0 at the end. A fade
// longer than half the time between start and a set end is shortened to
// that half, so the watermark reaches full opacity just at the middle. An
// end that is not after the start shows nothing. Exactly 1 for the default
// timing (0, 0, 0) at any time.
double watermarkVisibility(const WatermarkTiming& timing, double seconds);

}  // namespace tintreel
