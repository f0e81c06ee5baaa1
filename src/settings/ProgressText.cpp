#include "settings/ProgressText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tintreel {

namespace {

constexpr const char* kProgressKey = "progress";
constexpr const char* kEffectKey = "effect";

// The effect of a user-info code: exactly one of 1 ... 27.
std::optional<EffectCode> effectOfCode(float code) {
    if (!(code >= 1.0f && code <= 27.0f) || code != std::trunc(code)) return std::nullopt;
    return static_cast<EffectCode>(static_cast<int>(code));
}

std::string joined(const std::vector<std::string>& names, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += (i == 0 ? "" : ", ") + names[i];
    return text;
}

// The words before the percentage, longest first: every name, then fewer
// names and how many are left out, then none, then no words at all.
std::vector<std::string> labelHeads(const RenderProgress& progress) {
    std::vector<std::string> heads;
    if (progress.effect) {
        const EffectStep* step = findEffectStep(*progress.effect);
        if (step) heads = {std::string(step->phrase), std::string(step->name) + "... "};
    } else {
        const std::vector<std::string>& names = progress.steps;
        heads.push_back("Rendering: " + joined(names, names.size()) + "... ");
        for (std::size_t shown = names.size() - std::min<std::size_t>(names.size(), 1); shown > 0; --shown)
            heads.push_back("Rendering: " + joined(names, shown) + ", +" +
                            std::to_string(names.size() - shown) + " more... ");
        heads.push_back("Rendering... ");
    }
    heads.emplace_back();
    return heads;
}

std::string formatFramesPerSecond(double fps) {
    char buffer[32];
    // Slow renders (a large frame with everything on) still show a moving number.
    std::snprintf(buffer, sizeof buffer, fps < 10.0 ? "%.1f fps" : "%.0f fps", fps);
    return buffer;
}

// The percentage, and the speed and time left once measured.
std::string labelNumbers(const RenderProgress& progress) {
    std::string numbers = formatProgressPercent(progress.fraction) + "%";
    if (progress.framesPerSecond && progress.secondsLeft)
        numbers += " · " + formatFramesPerSecond(*progress.framesPerSecond) + " · " +
                   formatTimeLeft(*progress.secondsLeft) + " left";
    return numbers;
}

}  // namespace

void postProgress(const NotificationCenter& center, const RenderProgress& progress) {
    const float code = progress.effect ? static_cast<float>(*progress.effect) : kWholeRenderCode;
    center.post(std::string(kUpdateProgress), UserInfo{{kProgressKey, progress.fraction}, {kEffectKey, code}},
                progress);
}

std::optional<RenderProgress> progressOf(const Notification& notification) {
    if (const RenderProgress* progress = notification.payloadAs<RenderProgress>()) return *progress;
    const std::optional<float> fraction = notification.value<float>(kProgressKey);
    const std::optional<float> code = notification.value<float>(kEffectKey);
    if (!fraction || !code) return std::nullopt;
    RenderProgress progress;
    progress.fraction = *fraction;
    if (*code == kWholeRenderCode) return progress;
    progress.effect = effectOfCode(*code);
    if (!progress.effect) return std::nullopt;
    return progress;
}

std::string formatProgressPercent(float progress) {
    const float percent = progress * 100.0f;
    if (std::isnan(percent)) return "0.0";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(percent));
    return buffer;
}

std::string progressLabel(const RenderProgress& progress) {
    return labelHeads(progress).front() + labelNumbers(progress);
}

std::string progressLabel(const RenderProgress& progress,
                          const std::function<bool(const std::string&)>& fits) {
    const std::string numbers = labelNumbers(progress);
    std::string label;
    for (const std::string& head : labelHeads(progress)) {
        label = head + numbers;
        if (fits(label)) break;
    }
    return label;
}

double renderPercent(const RenderProgress& progress) {
    const double passCount = std::max(1, progress.passCount);
    const double whole = (progress.pass - 1.0 + progress.fraction) / passCount;
    return std::isfinite(whole) ? std::clamp(whole, 0.0, 1.0) * 100.0 : 0.0;
}

namespace {

// "m:ss" below an hour, "h:mm:ss" from an hour on.
std::string clockText(long long total) {
    char buffer[48];
    if (total >= 3600)
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld", total / 60, total % 60);
    return buffer;
}

}  // namespace

std::string formatTimeLeft(double seconds) {
    return clockText(std::isfinite(seconds) && seconds > 0 ? static_cast<long long>(std::ceil(seconds)) : 0);
}

std::string formatPositionTime(double seconds) {
    // A frame's time computed as ticks times the time base may fall a hair
    // short of its hundredth; the margin keeps 0.3 from reading 0.29.
    const long long hundredths = std::isfinite(seconds) && seconds > 0
                                     ? static_cast<long long>(std::floor(seconds * 100.0 + 1e-6))
                                     : 0;
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%02lld", hundredths % 100);
    return clockText(hundredths / 100) + fraction;
}

std::string formatFrameNumber(std::size_t index, std::size_t count) {
    return "frame " + std::to_string(index + 1) + " of " + std::to_string(count);
}

}  // namespace tintreel
