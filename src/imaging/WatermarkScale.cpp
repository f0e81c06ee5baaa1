#include "imaging/WatermarkScale.h"

#include <algorithm>
#include <initializer_list>

namespace tintreel {

double watermarkScaleFactor(bool scaleWithVideo, int width, int height, double pixelScale) {
    if (!scaleWithVideo) return pixelScale;
    return std::max(0, std::min(width, height)) / kDesignShorterSide;
}

EffectSettings watermarksForFrame(const EffectSettings& settings, int width, int height, double pixelScale) {
    EffectSettings scaled = settings;
    const auto scale = [&](int scaleWithVideo, std::initializer_list<float*> values) {
        const double factor = watermarkScaleFactor(scaleWithVideo != 0, width, height, pixelScale);
        if (factor == 1.0) return;
        for (float* value : values) *value = static_cast<float>(*value * factor);
    };
    scale(settings.checkTextScaleWithVideo,
          {&scaled.stepperTextFontSize, &scaled.stepperTextXOffset, &scaled.stepperTextYOffset});
    scale(settings.checkImageScaleWithVideo,
          {&scaled.stepperImageScale, &scaled.stepperImageXOffset, &scaled.stepperImageYOffset});
    return scaled;
}

WatermarkTiming textWatermarkTiming(const EffectSettings& s) {
    return {s.stepperTextStart, s.stepperTextEnd, s.stepperTextFade};
}

WatermarkTiming imageWatermarkTiming(const EffectSettings& s) {
    return {s.stepperImageStart, s.stepperImageEnd, s.stepperImageFade};
}

EffectSettings watermarksEndingAt(const EffectSettings& settings, double movieSeconds) {
    EffectSettings ending = settings;
    if (!(movieSeconds > 0.0)) return ending;
    const auto endAtMovieEnd = [movieSeconds](float start, float& end, float fade) {
        if (end == 0.0f && fade > 0.0f && movieSeconds > start) end = static_cast<float>(movieSeconds);
    };
    endAtMovieEnd(ending.stepperTextStart, ending.stepperTextEnd, ending.stepperTextFade);
    endAtMovieEnd(ending.stepperImageStart, ending.stepperImageEnd, ending.stepperImageFade);
    return ending;
}

double watermarkVisibility(const WatermarkTiming& timing, double seconds) {
    const bool bounded = timing.end > 0.0;
    // A start of 0 holds every frame from the first, even one stamped a little before it.
    if ((timing.start > 0.0 && seconds < timing.start) || (bounded && seconds >= timing.end)) return 0.0;
    if (!(timing.fade > 0.0)) return 1.0;
    const double fade = bounded ? std::min(timing.fade, (timing.end - timing.start) * 0.5) : timing.fade;
    double visibility = (seconds - timing.start) / fade;
    if (bounded) visibility = std::min(visibility, (timing.end - seconds) / fade);
    return std::clamp(visibility, 0.0, 1.0);
}

}  // namespace tintreel
