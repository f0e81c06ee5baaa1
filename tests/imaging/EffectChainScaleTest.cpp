// The chain at a preview scale: every effect run on a frame shrunk by a
// pixel scale, with its pixel-measured parameters shrunk alike, looks like
// the full-size result shrunk.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "imaging/EffectChain.h"
#include "imaging/EffectSteps.h"
#include "settings/ControlCatalogue.h"
#include "support/Clips.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {

// Each 2 x 2 block averaged into one pixel, rounded (the last odd row or column is dropped).
Image halved(const Image& in) {
    Image out(in.width() / 2, in.height() / 2);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            for (int c = 0; c < 4; ++c) {
                const int sum = in.pixel(2 * x, 2 * y)[c] + in.pixel(2 * x + 1, 2 * y)[c] +
                                in.pixel(2 * x, 2 * y + 1)[c] + in.pixel(2 * x + 1, 2 * y + 1)[c];
                out.pixel(x, y)[c] = static_cast<std::uint8_t>((sum + 2) / 4);
            }
    return out;
}

// Shrunk by 2^halvings.
Image shrunk(Image image, int halvings) {
    for (int i = 0; i < halvings; ++i) image = halved(image);
    return image;
}

// Peak signal-to-noise ratio over all four channels; infinite for equal pictures.
double psnr(const Image& a, const Image& b) {
    double squares = 0.0;
    for (std::size_t i = 0; i < a.byteCount(); ++i) {
        const double d = a.data()[i] - b.data()[i];
        squares += d * d;
    }
    const double mean = squares / static_cast<double>(a.byteCount());
    return mean == 0.0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / mean);
}

// A detailed picture: ffmpeg's second test pattern (gradients, text, sharp shapes).
const Image& pattern(const std::string& size) {
    static std::map<std::string, Image> made;
    Image& picture = made[size];
    if (picture.isEmpty()) {
        const auto file =
            test::makeClip("-f lavfi -i testsrc2=s=" + size + " -frames:v 1 -pix_fmt bgr0 -c:v ffv1", "mkv");
        picture = test::ffmpegFrame(file, 0.0).value_or(Image());
    }
    return picture;
}

struct ScaledLook {
    EffectCode code;
    std::function<void(EffectSettings&)> set;
};

// One row per step, each with settings away from neutral that make its
// pixel-measured parameters matter.
std::vector<ScaledLook> looks() {
    using C = EffectCode;
    using S = EffectSettings;
    return {
        {C::Brightness, [](S& s) { s.sliderBrightness = 0.15f; }},
        {C::Exposure, [](S& s) { s.sliderExposure = -0.5f; }},
        {C::Contrast, [](S& s) { s.sliderContrast = 1.4f; }},
        {C::Saturation, [](S& s) { s.sliderSaturation = 1.6f; }},
        {C::Gamma, [](S& s) { s.sliderGamma = 1.8f; }},
        {C::Hue, [](S& s) { s.sliderHue = 70.0f; }},
        {C::RGB, [](S& s) { s.sliderRed = 1.3f, s.sliderBlue = 0.6f; }},
        {C::BlackAndWhite, [](S& s) { s.checkBlackWhite = 1; }},
        {C::Sepia, [](S& s) { s.checkSepia = 1; }},
        {C::Cartoon, [](S& s) { s.checkCartoon = 1, s.sliderCartoonBlur = 4.0f; }},
        {C::OilPainting, [](S& s) { s.checkOilPainting = 1, s.sliderOilPaintingIntensity = 4.0f; }},
        {C::Vignette, [](S& s) { s.checkVignette = 1, s.sliderVignetteRadius = -0.1f; }},
        {C::Pixellate, [](S& s) { s.checkPixellate = 1, s.sliderPixellatePixelSize = 0.05f; }},
        {C::Halftone, [](S& s) { s.checkHalftone = 1, s.sliderHalftoneDotSize = 0.05f; }},
        {C::Blur, [](S& s) { s.checkBlur = 1, s.sliderBlurIntensity = 6.0f; }},
        {C::CircleBlur,
         [](S& s) {
             s.checkCircleBlur = 1, s.sliderCircleBlurIntensity = 6.0f, s.sliderCircleBlurRadius = 0.3f;
         }},
        {C::FocusBlur,
         [](S& s) {
             s.checkFocusBlur = 1, s.sliderFocusBlurIntensity = 8.0f;
             s.sliderFocusBlurRadius = 0.3f, s.sliderFocusBlurEdge = 0.2f;
         }},
        {C::MotionBlur,
         [](S& s) {
             s.checkMotionBlur = 1, s.sliderMotionBlurIntensity = 6.0f, s.sliderMotionBlurAngle = 30.0f;
         }},
        {C::ZoomBlur, [](S& s) { s.checkZoomBlur = 1, s.sliderZoomBlurIntensity = 2.0f; }},
        {C::Scale, [](S& s) { s.checkScale = 1, s.stepperScale = 70.0f; }},
        {C::Rotate, [](S& s) { s.checkRotate = 1, s.sliderRotateAngle = 30.0f; }},
        {C::Transform3D,
         [](S& s) {
             s.check3DTransform = 1;
             s.stepper3DTransform[12] = 0.2f;  // m41: to the right
             s.stepper3DTransform[3] = 0.15f;  // m14: perspective
         }},
        {C::Swirl, [](S& s) { s.checkSwirl = 1, s.sliderSwirlRadius = 0.5f, s.sliderSwirlAngle = 1.0f; }},
        {C::GlassSphere, [](S& s) { s.checkGlassSphere = 1; }},
        {C::TextWatermark,
         [](S& s) {
             s.checkTextWatermark = 1, s.textFieldText = "Tintreel 26";
             s.stepperTextFontSize = 72, s.stepperTextOpacity = 90;
             s.checkTextShadow = 1, s.checkTextStroke = 1, s.comboTextPosition = 1;
             s.stepperTextXOffset = -40, s.stepperTextYOffset = 24;
         }},
        {C::ImageWatermark,
         [](S& s) {
             s.checkImageWatermark = 1, s.stepperImageScale = 60, s.stepperImageOpacity = 80;
             s.comboImagePosition = 2, s.stepperImageXOffset = 36, s.stepperImageYOffset = -20;
         }},
    };
}

// The chain at full size shrunk, against the chain at `halvings` halvings on the shrunk frame.
double scaledPsnr(const ScaledLook& look, int halvings) {
    EffectSettings s = defaultEffectSettings();
    look.set(s);
    const Image& frame = pattern("640x360");
    const Image& logo = pattern("160x96");
    const Image full = EffectChain(s, logo, ChainRules::Movie).apply(frame, 0.0);
    const double scale = std::ldexp(1.0, -halvings);
    EffectChain preview(s, logo, ChainRules::Movie, scale);
    EXPECT_EQ(preview.codes(), std::vector<EffectCode>{look.code});
    return psnr(shrunk(full, halvings), preview.apply(shrunk(frame, halvings), 0.0));
}

TEST(EffectChainScale, EveryStepAtHalfAndQuarterLooksLikeTheFullFrameShrunk) {
    ASSERT_FALSE(pattern("640x360").isEmpty());
    ASSERT_EQ(looks().size(), effectSteps().size());
    for (const ScaledLook& look : looks()) {
        const double half = scaledPsnr(look, 1), quarter = scaledPsnr(look, 2);
        std::printf("%-16s half %6.2f dB  quarter %6.2f dB\n",
                    std::string(findEffectStep(look.code)->name).c_str(), half, quarter);
    }
}

}  // namespace
}  // namespace tintreel
