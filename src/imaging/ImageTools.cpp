#include "imaging/ImageTools.h"

#include "imaging/EffectSteps.h"
#include "imaging/FontFamilies.h"
#include "platform/filters/AlphaBlendFilter.h"
#include "platform/filters/BlurFilters.h"
#include "platform/filters/ColorFilters.h"
#include "platform/filters/DistortionFilters.h"
#include "platform/filters/StylizeFilters.h"

namespace tintreel {

Image ImageTools::ApplyBrightness(const Image& image, float brightness) {
    BrightnessFilter f;
    f.setBrightness(brightness);
    return f.apply(image);
}

Image ImageTools::ApplyExposure(const Image& image, float exposure) {
    ExposureFilter f;
    f.setExposure(exposure);
    return f.apply(image);
}

Image ImageTools::ApplyContrast(const Image& image, float contrast) {
    ContrastFilter f;
    f.setContrast(contrast);
    return f.apply(image);
}

Image ImageTools::ApplySaturation(const Image& image, float saturation) {
    SaturationFilter f;
    f.setSaturation(saturation);
    return f.apply(image);
}

Image ImageTools::ApplyGamma(const Image& image, float gamma) {
    GammaFilter f;
    f.setGamma(gamma);
    return f.apply(image);
}

Image ImageTools::ApplyHue(const Image& image, float hue) {
    HueFilter f;
    f.setHue(hue);
    return f.apply(image);
}

Image ImageTools::ApplyRGB(const Image& image, float red, float green, float blue) {
    RGBFilter f;
    f.setRed(red);
    f.setGreen(green);
    f.setBlue(blue);
    return f.apply(image);
}

Image ImageTools::ApplyBlackAndWhite(const Image& image) {
    return GrayscaleFilter().apply(image);
}

Image ImageTools::ApplySepia(const Image& image, float intensity) {
    SepiaFilter f;
    f.setIntensity(intensity);
    return f.apply(image);
}

Image ImageTools::ApplyCartoon(const Image& image, float blurRadius, float threshold, float levels) {
    SmoothToonFilter f;
    f.setBlurRadiusInPixels(blurRadius);
    f.setThreshold(threshold);
    f.setQuantizationLevels(levels);
    return f.apply(image);
}

Image ImageTools::ApplyOilPainting(const Image& image, unsigned radius) {
    KuwaharaFilter f;
    f.setRadius(radius);
    return f.apply(image);
}

Image ImageTools::ApplyVignette(const Image& image, float radius) {
    VignetteFilter f;
    f.setVignetteStart(0.5 + static_cast<double>(radius));
    f.setVignetteEnd(static_cast<double>(radius) + 0.75);
    return f.apply(image);
}

Image ImageTools::ApplyPixellate(const Image& image, float pixelSize) {
    PixellateFilter f;
    f.setFractionalWidthOfAPixel(pixelSize);
    return f.apply(image);
}

Image ImageTools::ApplyHalftone(const Image& image, float dotSize) {
    HalftoneFilter f;
    f.setFractionalWidthOfAPixel(dotSize);
    return f.apply(image);
}

Image ImageTools::ApplyBlur(const Image& image, float intensity) {
    GaussianBlurFilter f;
    f.setBlurRadiusInPixels(intensity);
    return f.apply(image);
}

Image ImageTools::ApplyCircleBlur(const Image& image, float blurSize, float blurRadius) {
    GaussianBlurPositionFilter f;
    f.setBlurSize(blurSize);
    f.setBlurRadius(blurRadius);
    return f.apply(image);
}

Image ImageTools::ApplyFocusBlur(const Image& image, float blurRadius, float circleRadius, float edgeSize) {
    GaussianSelectiveBlurFilter f;
    f.setBlurRadiusInPixels(blurRadius);
    f.setExcludeCircleRadius(circleRadius);
    f.setExcludeBlurSize(edgeSize);
    return f.apply(image);
}

Image ImageTools::ApplyMotionBlur(const Image& image, float blurSize, float angle) {
    MotionBlurFilter f;
    f.setBlurSize(blurSize);
    f.setBlurAngle(angle);
    return f.apply(image);
}

Image ImageTools::ApplyZoomBlur(const Image& image, float blurSize) {
    ZoomBlurFilter f;
    f.setBlurSize(blurSize);
    return f.apply(image);
}

Image ImageTools::ApplyTransform3D(const Image& image, const Transform3D& transform) {
    TransformFilter f;
    f.setTransform3D(transform);
    return f.apply(image);
}

Image ImageTools::ApplySwirl(const Image& image, float radius, float angle) {
    SwirlFilter f;
    f.setRadius(radius);
    f.setAngle(angle);
    return f.apply(image);
}

Image ImageTools::ApplyGlassSphere(const Image& image, float radius, float refractiveIndex) {
    GlassSphereFilter f;
    f.setRadius(radius);
    f.setRefractiveIndex(refractiveIndex);
    return f.apply(image);
}

Image ImageTools::Blend(const Image& base, const Image& overlay, double mix) {
    AlphaBlendFilter f;
    f.setMix(mix);
    return f.apply(base, overlay);
}

Image ImageTools::ApplyTextWatermark(const Image& image, const TextWatermarkStyle& style, double mix) {
    return Blend(image, DrawTextWatermark(style, image.width(), image.height()), mix);
}

Image ImageTools::ApplyImageWatermark(const Image& image, const Image& picture,
                                      const ImageWatermarkPlacement& placement, double mix) {
    return Blend(image, DrawImageWatermark(picture, placement, image.width(), image.height()), mix);
}

TextWatermarkStyle textWatermarkStyle(const EffectSettings& s) {
    return {s.textFieldText,       std::string(fontFamilyName(s.comboTextFontType)),
            s.stepperTextFontSize, s.stepperTextXOffset,
            s.stepperTextYOffset,  s.colorWellTextColor,
            s.comboTextPosition,   s.checkTextShadow != 0,
            s.checkTextStroke != 0};
}

ImageWatermarkPlacement imageWatermarkPlacement(const EffectSettings& s) {
    return {s.comboImagePosition, percentToFraction(s.stepperImageScale), s.stepperImageXOffset,
            s.stepperImageYOffset};
}

Image ApplyEffectChain(const EffectSettings& settings, const Image& snapshot, const Image& logo) {
    Image current = snapshot;
    for (const EffectStep& step : effectSteps()) {
        if (!step.runsOnStill(settings)) continue;
        // An adjustment at its neutral value returns an exact copy, so
        // passing it over gives the same picture without the work.
        if (step.adjustment && !step.enabled(settings)) continue;
        Image next = step.make(settings, logo)->apply(current);
        if (next.width() == snapshot.width() && next.height() == snapshot.height()) current = std::move(next);
    }
    return current;
}

}  // namespace tintreel
