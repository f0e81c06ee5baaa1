#include "settings/ProgressText.h"

#include <cmath>
#include <cstdio>

#include "imaging/EffectSteps.h"

namespace tintreel {

std::string formatProgressPercent(float progress) {
    const float percent = progress * 100.0f;
    if (std::isnan(percent)) return "0.0";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(percent));
    return buffer;
}

std::optional<std::string> progressLabel(float effectCode, const std::string& percent) {
    const int code = static_cast<int>(effectCode);
    if (effectCode != static_cast<float>(code) || code < 1 || code > 26) return std::nullopt;
    return std::string(progressPhrase(static_cast<EffectCode>(code))) + percent + "%";
}

}  // namespace tintreel
