#include "settings/ProgressText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "imaging/EffectSteps.h"

namespace tintreel {

namespace {

// The words before the percentage, or nothing for a code we do not know.
std::optional<std::string> labelHead(const Notification& notification, float effectCode) {
    if (effectCode == kWholeRenderCode)
        return "Rendering: " + notification.value<std::string>(progress_key::kSteps).value_or("") + "... ";
    const int code = static_cast<int>(effectCode);
    if (effectCode != static_cast<float>(code) || code < 1 || code > 26) return std::nullopt;
    return std::string(progressPhrase(static_cast<EffectCode>(code)));
}

std::string formatFramesPerSecond(float fps) {
    char buffer[32];
    // Slow renders (a large frame with everything on) still show a moving number.
    std::snprintf(buffer, sizeof buffer, fps < 10.0f ? "%.1f fps" : "%.0f fps", static_cast<double>(fps));
    return buffer;
}

}  // namespace

std::string formatProgressPercent(float progress) {
    const float percent = progress * 100.0f;
    if (std::isnan(percent)) return "0.0";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(percent));
    return buffer;
}

std::optional<double> renderPercent(const Notification& notification) {
    const std::optional<float> fraction = notification.value<float>(progress_key::kProgress);
    if (!fraction) return std::nullopt;
    const double pass = notification.value<float>(progress_key::kPass).value_or(1.0f);
    const double passCount = std::max(1.0f, notification.value<float>(progress_key::kPassCount).value_or(1.0f));
    const double whole = (pass - 1.0 + *fraction) / passCount;
    return std::isfinite(whole) ? std::clamp(whole, 0.0, 1.0) * 100.0 : 0.0;
}

std::string formatTimeLeft(double seconds) {
    const long long total =
        std::isfinite(seconds) && seconds > 0 ? static_cast<long long>(std::ceil(seconds)) : 0;
    char buffer[48];
    if (total >= 3600)
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld", total / 60, total % 60);
    return buffer;
}

std::optional<std::string> progressLabel(const Notification& notification) {
    const auto progress = notification.value<float>(progress_key::kProgress);
    const auto effect = notification.value<float>(progress_key::kEffect);
    if (!progress || !effect) return std::nullopt;
    std::optional<std::string> label = labelHead(notification, *effect);
    if (!label) return std::nullopt;
    *label += formatProgressPercent(*progress) + "%";
    const auto fps = notification.value<float>(progress_key::kFramesPerSecond);
    const auto left = notification.value<float>(progress_key::kSecondsLeft);
    if (fps && left) *label += " · " + formatFramesPerSecond(*fps) + " · " + formatTimeLeft(*left) + " left";
    return label;
}

}  // namespace tintreel
