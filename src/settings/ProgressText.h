#pragma once
// The render's progress: the report a movie pass makes about once a second,
// how it travels as the "UpdateProgress" notification, and the label the
// window and the command line make of it. Pure; any thread (the label text
// is made on the render thread).
//
// Per-effect passes:  "Applying Sepia Effect... 42.5%"
// One pass:           "Rendering: Sepia, Vignette, Text Watermark... 42.5%"
// Either, once the render has run a few seconds, followed by its measured
// speed and the time left: "... 42.5% · 31 fps · 0:45 left".

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/EffectSteps.h"
#include "platform/system/NotificationCenter.h"

namespace tintreel {

inline constexpr std::string_view kUpdateProgress = "UpdateProgress";

// One report of a running render.
struct RenderProgress {
    // The effect a per-effect pass applies; nothing for a one-pass render,
    // which runs every step of `steps` at once.
    std::optional<EffectCode> effect;
    std::vector<std::string> steps;  // the one pass's step names, in chain order
    int pass = 1;                    // 1 ... passCount
    int passCount = 1;
    float fraction = 0.0f;  // of the current pass, 0 ... below 1
    // Both present once measured: the pass's speed and the whole render's time left.
    std::optional<double> framesPerSecond;
    std::optional<double> secondsLeft;

    bool operator==(const RenderProgress&) const = default;
};

// The "UpdateProgress" notification: the report is its payload. Its user
// info carries the fraction under "progress" and the effect code under
// "effect" (kWholeRenderCode for a one-pass render), single precision, for
// observers that read only those two.
void postProgress(const NotificationCenter& center, const RenderProgress& progress);

// The report a notification carries: its payload, or one made from the two
// user-info keys alone. Nothing when it carries neither, or names a code
// that is neither exactly one of 1 ... 27 nor the whole-render code.
std::optional<RenderProgress> progressOf(const Notification& notification);

// The user-info code of a one-pass render: every enabled step at once.
inline constexpr float kWholeRenderCode = 0.0f;

// p × 100 in single precision, printed with "%.1f"; "0.0" when p is not a number.
std::string formatProgressPercent(float progress);

// The label for one report.
std::string progressLabel(const RenderProgress& progress);

// The label shortened until `fits` accepts it: the one pass's step names
// become the first few and "+N more", then none, then the words before the
// numbers go; the percentage, speed and time left always stay. When nothing
// fits, the shortest form.
std::string progressLabel(const RenderProgress& progress,
                          const std::function<bool(const std::string&)>& fits);

// How far the whole render is, 0 ... 100: per-effect passes each run from 0
// to 1, so the render is their sum.
double renderPercent(const RenderProgress& progress);

// "0:45", "12:03", "1:02:03": whole seconds, rounded up.
std::string formatTimeLeft(double seconds);
// A position in a movie to the hundredth, cut down (never rounded up into the
// next second): "0:59.99", "1:01.50", "2:02:02.25" from an hour on; negative
// and not-a-number as "0:00.00".
std::string formatPositionTime(double seconds);
// The timeline's frame count, from 1: "frame 16 of 20" for the index 15.
std::string formatFrameNumber(std::size_t index, std::size_t count);

}  // namespace tintreel
