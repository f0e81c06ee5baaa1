#pragma once
// The render's progress: the keys of the "UpdateProgress" notification and
// the label the window and the command line make of it. Pure; any thread
// (the label text is made on the render thread).
//
// Per-effect passes:  "Applying Sepia Effect... 42.5%"
// One pass:           "Rendering: Sepia, Vignette, Text Watermark... 42.5%"
// Either, once the render has run a few seconds, followed by its measured
// speed and the time left: "... 42.5% · 31 fps · 0:45 left".

#include <optional>
#include <string>

#include "platform/system/NotificationCenter.h"

namespace tintreel {

namespace progress_key {
inline constexpr const char* kProgress = "progress";        // fraction of the current pass, 0 ... below 1
inline constexpr const char* kEffect = "effect";            // the pass's effect code, or kWholeRenderCode
inline constexpr const char* kPass = "pass";                // 1 ... passCount
inline constexpr const char* kPassCount = "passCount";      //
inline constexpr const char* kSteps = "steps";              // text: the one pass's step names
inline constexpr const char* kFramesPerSecond = "fps";      // present once measured
inline constexpr const char* kSecondsLeft = "secondsLeft";  // present once measured
}  // namespace progress_key

// The code a one-pass render posts: every enabled step at once.
inline constexpr float kWholeRenderCode = 0.0f;

// p × 100 in single precision, printed with "%.1f"; "0.0" when p is not a number.
std::string formatProgressPercent(float progress);

// The label for one progress notification, or nothing when its code is
// neither exactly one of 1 ... 26 nor the whole-render code (the label then
// keeps its text).
std::optional<std::string> progressLabel(const Notification& notification);

// How far the whole render is, 0 ... 100: per-effect passes each run from 0
// to 1, so the render is their sum. Nothing when the notification carries no
// progress.
std::optional<double> renderPercent(const Notification& notification);

// "0:45", "12:03", "1:02:03": whole seconds, rounded up.
std::string formatTimeLeft(double seconds);

}  // namespace tintreel
