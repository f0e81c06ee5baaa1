#include "imaging/EffectSteps.h"

#include <array>
#include <cmath>
#include <functional>
#include <limits>

#include "imaging/ImageTools.h"

namespace tintreel {

namespace {

// A step whose work is one ImageTools operation with values fixed at set-up.
class OperationEffect : public FrameEffect {
public:
    explicit OperationEffect(std::function<Image(const Image&)> operation)
        : operation_(std::move(operation)) {}
    Image apply(const Image& frame) override { return operation_(frame); }

private:
    std::function<Image(const Image&)> operation_;
};

// A watermark step: the overlay canvas is drawn for a frame size once and
// blended over every frame of that size.
class OverlayEffect : public FrameEffect {
public:
    using Draw = std::function<Image(int width, int height)>;
    OverlayEffect(Draw draw, double mix) : draw_(std::move(draw)), mix_(mix) {}

    Image apply(const Image& frame) override {
        if (canvas_.width() != frame.width() || canvas_.height() != frame.height())
            canvas_ = draw_(frame.width(), frame.height());
        return ImageTools::Blend(frame, canvas_, mix_);
    }

private:
    Draw draw_;
    double mix_;
    Image canvas_;
};

template <typename F>
std::unique_ptr<FrameEffect> operation(F f) {
    return std::make_unique<OperationEffect>(std::move(f));
}

std::unique_ptr<FrameEffect> transformEffect(const Transform3D& t) {
    return operation([t](const Image& f) { return ImageTools::ApplyTransform3D(f, t); });
}

using S = const EffectSettings&;
using L = const Image&;
using Made = std::unique_ptr<FrameEffect>;

const std::array<EffectStep, 26> kSteps = {{
    {EffectCode::Brightness, true, [](S s) { return s.sliderBrightness != 0.0f; },
     [](S s, L) -> Made {
         return operation(
             [v = s.sliderBrightness](const Image& f) { return ImageTools::ApplyBrightness(f, v); });
     }},
    {EffectCode::Exposure, true, [](S s) { return s.sliderExposure != 0.0f; },
     [](S s, L) -> Made {
         return operation([v = s.sliderExposure](const Image& f) { return ImageTools::ApplyExposure(f, v); });
     }},
    {EffectCode::Contrast, true, [](S s) { return s.sliderContrast != 1.0f; },
     [](S s, L) -> Made {
         return operation([v = s.sliderContrast](const Image& f) { return ImageTools::ApplyContrast(f, v); });
     }},
    {EffectCode::Saturation, true, [](S s) { return s.sliderSaturation != 1.0f; },
     [](S s, L) -> Made {
         return operation(
             [v = s.sliderSaturation](const Image& f) { return ImageTools::ApplySaturation(f, v); });
     }},
    {EffectCode::Gamma, true, [](S s) { return s.sliderGamma != 1.0f; },
     [](S s, L) -> Made {
         return operation([v = s.sliderGamma](const Image& f) { return ImageTools::ApplyGamma(f, v); });
     }},
    {EffectCode::Hue, true, [](S s) { return s.sliderHue != 0.0f; },
     [](S s, L) -> Made {
         return operation([v = s.sliderHue](const Image& f) { return ImageTools::ApplyHue(f, v); });
     }},
    {EffectCode::RGB, true,
     [](S s) { return s.sliderRed != 1.0f || s.sliderGreen != 1.0f || s.sliderBlue != 1.0f; },
     [](S s, L) -> Made {
         return operation([r = s.sliderRed, g = s.sliderGreen, b = s.sliderBlue](const Image& f) {
             return ImageTools::ApplyRGB(f, r, g, b);
         });
     }},
    {EffectCode::BlackAndWhite, false, [](S s) { return s.checkBlackWhite == 1; },
     [](S, L) -> Made {
         return operation([](const Image& f) { return ImageTools::ApplyBlackAndWhite(f); });
     }},
    {EffectCode::Sepia, false, [](S s) { return s.checkSepia == 1; },
     [](S s, L) -> Made {
         return operation(
             [v = s.sliderSepiaIntensity](const Image& f) { return ImageTools::ApplySepia(f, v); });
     }},
    {EffectCode::Cartoon, false, [](S s) { return s.checkCartoon == 1; },
     [](S s, L) -> Made {
         return operation([b = s.sliderCartoonBlur, t = s.sliderCartoonThreshold,
                           q = s.sliderCartoonQuantization](const Image& f) {
             return ImageTools::ApplyCartoon(f, b, t, q);
         });
     }},
    {EffectCode::OilPainting, false, [](S s) { return s.checkOilPainting == 1; },
     [](S s, L) -> Made {
         return operation([r = oilPaintingRadius(s.sliderOilPaintingIntensity)](const Image& f) {
             return ImageTools::ApplyOilPainting(f, r);
         });
     }},
    {EffectCode::Vignette, false, [](S s) { return s.checkVignette == 1; },
     [](S s, L) -> Made {
         return operation(
             [r = s.sliderVignetteRadius](const Image& f) { return ImageTools::ApplyVignette(f, r); });
     }},
    {EffectCode::Pixellate, false, [](S s) { return s.checkPixellate == 1; },
     [](S s, L) -> Made {
         return operation(
             [v = s.sliderPixellatePixelSize](const Image& f) { return ImageTools::ApplyPixellate(f, v); });
     }},
    {EffectCode::Halftone, false, [](S s) { return s.checkHalftone == 1; },
     [](S s, L) -> Made {
         return operation(
             [v = s.sliderHalftoneDotSize](const Image& f) { return ImageTools::ApplyHalftone(f, v); });
     }},
    {EffectCode::Blur, false, [](S s) { return s.checkBlur == 1; },
     [](S s, L) -> Made {
         return operation(
             [v = s.sliderBlurIntensity](const Image& f) { return ImageTools::ApplyBlur(f, v); });
     }},
    {EffectCode::CircleBlur, false, [](S s) { return s.checkCircleBlur == 1; },
     [](S s, L) -> Made {
         return operation([i = s.sliderCircleBlurIntensity, r = s.sliderCircleBlurRadius](const Image& f) {
             return ImageTools::ApplyCircleBlur(f, i, r);
         });
     }},
    {EffectCode::FocusBlur, false, [](S s) { return s.checkFocusBlur == 1; },
     [](S s, L) -> Made {
         return operation(
             [i = s.sliderFocusBlurIntensity, r = s.sliderFocusBlurRadius,
              e = s.sliderFocusBlurEdge](const Image& f) { return ImageTools::ApplyFocusBlur(f, i, r, e); });
     }},
    {EffectCode::MotionBlur, false, [](S s) { return s.checkMotionBlur == 1; },
     [](S s, L) -> Made {
         return operation([i = s.sliderMotionBlurIntensity, a = s.sliderMotionBlurAngle](const Image& f) {
             return ImageTools::ApplyMotionBlur(f, i, a);
         });
     }},
    {EffectCode::ZoomBlur, false, [](S s) { return s.checkZoomBlur == 1; },
     [](S s, L) -> Made {
         return operation(
             [v = s.sliderZoomBlurIntensity](const Image& f) { return ImageTools::ApplyZoomBlur(f, v); });
     }},
    {EffectCode::Scale, false, [](S s) { return s.checkScale == 1; },
     [](S s, L) -> Made { return transformEffect(scaleTransform(s.stepperScale)); }},
    {EffectCode::Rotate, false, [](S s) { return s.checkRotate == 1; },
     [](S s, L) -> Made { return transformEffect(rotationTransform(s.sliderRotateAngle)); }},
    {EffectCode::Transform3D, false, [](S s) { return s.check3DTransform == 1; },
     [](S s, L) -> Made { return transformEffect(matrixTransform(s)); }},
    {EffectCode::Swirl, false, [](S s) { return s.checkSwirl == 1; },
     [](S s, L) -> Made {
         return operation([r = s.sliderSwirlRadius, a = s.sliderSwirlAngle](const Image& f) {
             return ImageTools::ApplySwirl(f, r, a);
         });
     }},
    {EffectCode::GlassSphere, false, [](S s) { return s.checkGlassSphere == 1; },
     [](S s, L) -> Made {
         return operation([r = s.sliderGlassSphereRadius, n = s.sliderGlassSphereRefraction](const Image& f) {
             return ImageTools::ApplyGlassSphere(f, r, n);
         });
     }},
    {EffectCode::TextWatermark, false, [](S s) { return s.checkTextWatermark == 1; },
     [](S s, L) -> Made {
         return std::make_unique<OverlayEffect>(
             [style = textWatermarkStyle(s)](int w, int h) { return DrawTextWatermark(style, w, h); },
             percentToFraction(s.stepperTextOpacity));
     }},
    {EffectCode::ImageWatermark, false, [](S s) { return s.checkImageWatermark == 1; },
     [](S s, L logo) -> Made {
         return std::make_unique<OverlayEffect>(
             [logo, placement = imageWatermarkPlacement(s)](int w, int h) {
                 return DrawImageWatermark(logo, placement, w, h);
             },
             percentToFraction(s.stepperImageOpacity));
     }},
}};

constexpr std::array<std::string_view, 26> kPhrases = {
    "Adjusting Brightness... ",
    "Adjusting Exposure... ",
    "Adjusting Contrast... ",
    "Adjusting Saturation... ",
    "Adjusting Gamma... ",
    "Adjusting Hue... ",
    "Adjusting RGB... ",
    "Applying Black & White Effect... ",
    "Applying Sepia Effect... ",
    "Applying Cartoon Effect... ",
    "Applying Oil Painting Effect... ",
    "Applying Vignette Effect... ",
    "Applying Pixellate Effect... ",
    "Applying Halftone Effect... ",
    "Applying Blur Effect... ",
    "Applying Circle Blur Effect... ",
    "Applying Focus Blur Effect... ",
    "Applying Motion Blur Effect... ",
    "Applying Zoom Blur Effect... ",
    "Performing 3D Transformation... ",
    "Applying Swirl Effect... ",
    "Applying Glass Sphere Effect... ",
    "Applying Text Watermark... ",
    "Applying Image Watermark... ",
    "Scaling... ",
    "Rotating... ",
};

}  // namespace

std::string_view progressPhrase(EffectCode code) {
    const int index = static_cast<int>(code) - 1;
    if (index < 0 || index >= static_cast<int>(kPhrases.size())) return {};
    return kPhrases[static_cast<std::size_t>(index)];
}

std::span<const EffectStep> effectSteps() {
    return kSteps;
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

double percentToFraction(float percent) {
    return static_cast<double>(percent / 100.0f);
}

}  // namespace tintreel
