#include "imaging/EffectSteps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>

#include "imaging/ImageTools.h"
#include "imaging/WatermarkScale.h"
#include "platform/filters/AlphaBlendFilter.h"
#include "platform/filters/BlurFilters.h"
#include "platform/filters/ColorFilters.h"
#include "platform/filters/ColorTable.h"
#include "platform/filters/DistortionFilters.h"
#include "platform/filters/StylizeFilters.h"

namespace tintreel {

namespace {

// A step whose work is one filter, configured once when the effect is made.
template <typename Filter>
class FilterEffect : public FrameEffect {
public:
    explicit FilterEffect(Filter filter) : filter_(std::move(filter)) {
        if constexpr (requires { filter_.kernel(); }) kernel_ = filter_.kernel();
    }
    Image apply(const Image& frame, double) override { return filter_.apply(frame); }
    const PixelKernel* pixelKernel() const override { return kernel_ ? &kernel_ : nullptr; }

private:
    Filter filter_;
    PixelKernel kernel_;  // empty unless the filter works pixel by pixel
};

// A watermark step: the overlay canvas is drawn for a frame size once and
// blended over every frame of that size, at the opacity its timing gives
// the frame's time; a frame outside the timing is left as it is.
class OverlayEffect : public FrameEffect {
public:
    using Draw = std::function<Image(int width, int height)>;
    OverlayEffect(Draw draw, double mix, WatermarkTiming timing)
        : draw_(std::move(draw)), mix_(mix), timing_(timing) {}

    Image apply(const Image& frame, double seconds) override {
        const double visibility = watermarkVisibility(timing_, seconds);
        return visibility > 0.0 ? blended(frame, visibility) : frame;
    }
    Image applyToOwn(Image frame, double seconds) override {
        const double visibility = watermarkVisibility(timing_, seconds);
        return visibility > 0.0 ? blended(std::move(frame), visibility) : frame;
    }

private:
    // Blended where the frame lies, over the rows the canvas draws on only.
    Image blended(Image frame, double visibility) {
        if (canvas_.width() != frame.width() || canvas_.height() != frame.height()) {
            canvas_ = draw_(frame.width(), frame.height());
            inkedRows_ = rowsWithAlpha(canvas_);
        }
        blend_.setMix(mix_ * visibility);
        blend_.blendOnto(frame, canvas_, inkedRows_.first, inkedRows_.second);
        return frame;
    }

    Draw draw_;
    double mix_;
    WatermarkTiming timing_;
    AlphaBlendFilter blend_;
    Image canvas_;
    std::pair<int, int> inkedRows_;  // the canvas is transparent outside these rows
};

// Builds a filter, lets `configure` call its setters, and wraps it.
template <typename Filter, typename Configure>
std::unique_ptr<FrameEffect> filterEffect(Configure configure) {
    Filter filter;
    configure(filter);
    return std::make_unique<FilterEffect<Filter>>(std::move(filter));
}

std::unique_ptr<FrameEffect> transformEffect(const Transform3D& transform) {
    return filterEffect<TransformFilter>([&](TransformFilter& f) { f.setTransform3D(transform); });
}

using S = const EffectSettings&;
using L = const Image&;
using Made = std::unique_ptr<FrameEffect>;

const std::array<EffectStep, 27> kSteps = {{
    {EffectCode::Brightness, "Brightness", "Adjusting Brightness... ", true,
     [](S s) { return s.sliderBrightness != 0.0f; },
     [](S s, L, double) -> Made {
         return filterEffect<BrightnessFilter>([&](auto& f) { f.setBrightness(s.sliderBrightness); });
     }},
    {EffectCode::Exposure, "Exposure", "Adjusting Exposure... ", true,
     [](S s) { return s.sliderExposure != 0.0f; },
     [](S s, L, double) -> Made {
         return filterEffect<ExposureFilter>([&](auto& f) { f.setExposure(s.sliderExposure); });
     }},
    {EffectCode::Contrast, "Contrast", "Adjusting Contrast... ", true,
     [](S s) { return s.sliderContrast != 1.0f; },
     [](S s, L, double) -> Made {
         return filterEffect<ContrastFilter>([&](auto& f) { f.setContrast(s.sliderContrast); });
     }},
    {EffectCode::Saturation, "Saturation", "Adjusting Saturation... ", true,
     [](S s) { return s.sliderSaturation != 1.0f; },
     [](S s, L, double) -> Made {
         return filterEffect<SaturationFilter>([&](auto& f) { f.setSaturation(s.sliderSaturation); });
     }},
    {EffectCode::Gamma, "Gamma", "Adjusting Gamma... ", true, [](S s) { return s.sliderGamma != 1.0f; },
     [](S s, L, double) -> Made {
         return filterEffect<GammaFilter>([&](auto& f) { f.setGamma(s.sliderGamma); });
     }},
    {EffectCode::Hue, "Hue", "Adjusting Hue... ", true, [](S s) { return s.sliderHue != 0.0f; },
     [](S s, L, double) -> Made { return filterEffect<HueFilter>([&](auto& f) { f.setHue(s.sliderHue); }); }},
    {EffectCode::RGB, "RGB", "Adjusting RGB... ", true,
     [](S s) { return s.sliderRed != 1.0f || s.sliderGreen != 1.0f || s.sliderBlue != 1.0f; },
     [](S s, L, double) -> Made {
         return filterEffect<RGBFilter>([&](auto& f) {
             f.setRed(s.sliderRed);
             f.setGreen(s.sliderGreen);
             f.setBlue(s.sliderBlue);
         });
     }},
    {EffectCode::ColorTable, "Color Table", "Applying Color Table... ", false,
     [](S s) { return s.checkColorTable == 1 && !s.textFieldColorTable.empty(); },
     [](S s, L, double) -> Made {
         return filterEffect<ColorTableFilter>([&](auto& f) {
             // The front ends read the table first and report a failure; here
             // a table that cannot be read leaves the picture as it is.
             if (auto table = ColorTable::load(s.textFieldColorTable)) f.setTable(*table);
             f.setStrength(s.sliderColorTableStrength);
         });
     }},
    {EffectCode::BlackAndWhite, "Black & White", "Applying Black & White Effect... ", false,
     [](S s) { return s.checkBlackWhite == 1; },
     [](S, L, double) -> Made { return filterEffect<GrayscaleFilter>([](auto&) {}); }},
    {EffectCode::Sepia, "Sepia", "Applying Sepia Effect... ", false, [](S s) { return s.checkSepia == 1; },
     [](S s, L, double) -> Made {
         return filterEffect<SepiaFilter>([&](auto& f) { f.setIntensity(s.sliderSepiaIntensity); });
     }},
    {EffectCode::Cartoon, "Cartoon", "Applying Cartoon Effect... ", false,
     [](S s) { return s.checkCartoon == 1; },
     [](S s, L, double px) -> Made {
         return filterEffect<SmoothToonFilter>([&](auto& f) {
             f.setBlurRadiusInPixels(s.sliderCartoonBlur * px);
             f.setThreshold(s.sliderCartoonThreshold);
             f.setQuantizationLevels(s.sliderCartoonQuantization);
         });
     }},
    {EffectCode::OilPainting, "Oil Painting", "Applying Oil Painting Effect... ", false,
     [](S s) { return s.checkOilPainting == 1; },
     [](S s, L, double px) -> Made {
         return filterEffect<KuwaharaFilter>([&](auto& f) {
             f.setRadius(scaledRadius(oilPaintingRadius(s.sliderOilPaintingIntensity), px));
         });
     }},
    {EffectCode::Vignette, "Vignette", "Applying Vignette Effect... ", false,
     [](S s) { return s.checkVignette == 1; },
     [](S s, L, double) -> Made {
         return filterEffect<VignetteFilter>([&](auto& f) {
             const double radius = s.sliderVignetteRadius;
             f.setVignetteStart(0.5 + radius);
             f.setVignetteEnd(radius + 0.75);
         });
     }},
    {EffectCode::Pixellate, "Pixellate", "Applying Pixellate Effect... ", false,
     [](S s) { return s.checkPixellate == 1; },
     [](S s, L, double) -> Made {
         return filterEffect<PixellateFilter>(
             [&](auto& f) { f.setFractionalWidthOfAPixel(s.sliderPixellatePixelSize); });
     }},
    {EffectCode::Halftone, "Halftone", "Applying Halftone Effect... ", false,
     [](S s) { return s.checkHalftone == 1; },
     [](S s, L, double) -> Made {
         return filterEffect<HalftoneFilter>(
             [&](auto& f) { f.setFractionalWidthOfAPixel(s.sliderHalftoneDotSize); });
     }},
    {EffectCode::Blur, "Blur", "Applying Blur Effect... ", false, [](S s) { return s.checkBlur == 1; },
     [](S s, L, double px) -> Made {
         return filterEffect<GaussianBlurFilter>(
             [&](auto& f) { f.setBlurRadiusInPixels(s.sliderBlurIntensity * px); });
     }},
    {EffectCode::CircleBlur, "Circle Blur", "Applying Circle Blur Effect... ", false,
     [](S s) { return s.checkCircleBlur == 1; },
     [](S s, L, double px) -> Made {
         return filterEffect<GaussianBlurPositionFilter>([&](auto& f) {
             f.setBlurSize(s.sliderCircleBlurIntensity * px);
             f.setBlurRadius(s.sliderCircleBlurRadius);
         });
     }},
    {EffectCode::FocusBlur, "Focus Blur", "Applying Focus Blur Effect... ", false,
     [](S s) { return s.checkFocusBlur == 1; },
     [](S s, L, double px) -> Made {
         return filterEffect<GaussianSelectiveBlurFilter>([&](auto& f) {
             f.setBlurRadiusInPixels(s.sliderFocusBlurIntensity * px);
             f.setExcludeCircleRadius(s.sliderFocusBlurRadius);
             f.setExcludeBlurSize(s.sliderFocusBlurEdge);
         });
     }},
    {EffectCode::MotionBlur, "Motion Blur", "Applying Motion Blur Effect... ", false,
     [](S s) { return s.checkMotionBlur == 1; },
     [](S s, L, double px) -> Made {
         return filterEffect<MotionBlurFilter>([&](auto& f) {
             f.setBlurSize(s.sliderMotionBlurIntensity * px);
             f.setBlurAngle(s.sliderMotionBlurAngle);
         });
     }},
    {EffectCode::ZoomBlur, "Zoom Blur", "Applying Zoom Blur Effect... ", false,
     [](S s) { return s.checkZoomBlur == 1; },
     [](S s, L, double) -> Made {
         return filterEffect<ZoomBlurFilter>([&](auto& f) { f.setBlurSize(s.sliderZoomBlurIntensity); });
     }},
    {EffectCode::Scale, "Scale", "Scaling... ", false, [](S s) { return s.checkScale == 1; },
     [](S s, L, double) -> Made { return transformEffect(scaleTransform(s.stepperScale)); }},
    {EffectCode::Rotate, "Rotate", "Rotating... ", false, [](S s) { return s.checkRotate == 1; },
     [](S s, L, double) -> Made { return transformEffect(rotationTransform(s.sliderRotateAngle)); }},
    {EffectCode::Transform3D, "3D Transform", "Performing 3D Transformation... ", false,
     [](S s) { return s.check3DTransform == 1; },
     [](S s, L, double) -> Made { return transformEffect(matrixTransform(s)); }},
    {EffectCode::Swirl, "Swirl", "Applying Swirl Effect... ", false, [](S s) { return s.checkSwirl == 1; },
     [](S s, L, double) -> Made {
         return filterEffect<SwirlFilter>([&](auto& f) {
             f.setRadius(s.sliderSwirlRadius);
             f.setAngle(s.sliderSwirlAngle);
         });
     }},
    {EffectCode::GlassSphere, "Glass Sphere", "Applying Glass Sphere Effect... ", false,
     [](S s) { return s.checkGlassSphere == 1; },
     [](S s, L, double) -> Made {
         return filterEffect<GlassSphereFilter>([&](auto& f) {
             f.setRadius(s.sliderGlassSphereRadius);
             f.setRefractiveIndex(s.sliderGlassSphereRefraction);
         });
     }},
    {EffectCode::TextWatermark, "Text Watermark", "Applying Text Watermark... ", false,
     [](S s) { return s.checkTextWatermark == 1; },
     [](S s, L, double px) -> Made {
         return std::make_unique<OverlayEffect>(
             [s, px](int w, int h) { return DrawTextWatermark(textWatermarkStyle(s, w, h, px), w, h); },
             percentToFraction(s.stepperTextOpacity), textWatermarkTiming(s));
     }},
    {EffectCode::ImageWatermark, "Image Watermark", "Applying Image Watermark... ", false,
     [](S s) { return s.checkImageWatermark == 1; },
     [](S s, L logo, double px) -> Made {
         return std::make_unique<OverlayEffect>(
             [logo, s, px](int w, int h) {
                 return DrawImageWatermark(logo, imageWatermarkPlacement(s, w, h, px), w, h);
             },
             percentToFraction(s.stepperImageOpacity), imageWatermarkTiming(s));
     }},
}};

}  // namespace

std::span<const EffectStep> effectSteps() {
    return kSteps;
}

const EffectStep* findEffectStep(EffectCode code) {
    const auto found =
        std::find_if(kSteps.begin(), kSteps.end(), [code](const EffectStep& s) { return s.code == code; });
    return found == kSteps.end() ? nullptr : &*found;
}

std::string_view progressPhrase(EffectCode code) {
    const EffectStep* step = findEffectStep(code);
    return step ? step->phrase : std::string_view();
}

Transform3D scaleTransform(float percent) {
    Transform3D t = Transform3D::identity();
    t.at(4, 4) = static_cast<double>(100.0f / percent);
    return t;
}

Transform3D rotationTransform(float degrees) {
    const float angle = degrees * 3.1415925f / 180.0f;
    const double a = angle;
    Transform3D t = Transform3D::identity();
    t.at(1, 1) = std::cos(a);
    t.at(1, 2) = std::sin(a);
    t.at(2, 1) = -std::sin(a);
    t.at(2, 2) = std::cos(a);
    return t;
}

Transform3D matrixTransform(const EffectSettings& s) {
    Transform3D t;
    for (std::size_t i = 0; i < t.m.size(); ++i) t.m[i] = s.stepper3DTransform[i];
    return t;
}

unsigned oilPaintingRadius(float value) {
    if (!(value > 0.0f)) return 0;  // negative, zero and NaN
    constexpr float kBeyondUnsigned = 4294967296.0f;
    if (value >= kBeyondUnsigned) return std::numeric_limits<unsigned>::max();
    return static_cast<unsigned>(value);
}

unsigned scaledRadius(unsigned radius, double pixelScale) {
    if (radius == 0 || pixelScale == 1.0) return radius;
    const double scaled = std::round(radius * pixelScale);
    if (!(scaled >= 1.0)) return 1;  // NaN too
    constexpr double kLargest = std::numeric_limits<unsigned>::max();
    return scaled >= kLargest ? std::numeric_limits<unsigned>::max() : static_cast<unsigned>(scaled);
}

double percentToFraction(float percent) {
    return static_cast<double>(percent / 100.0f);
}

}  // namespace tintreel
