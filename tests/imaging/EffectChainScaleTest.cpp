// The chain at a preview scale: every effect run on a frame shrunk by a
// pixel scale, with its pixel-measured parameters shrunk alike, looks like
// the full-size result shrunk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/EffectChain.h"
#include "imaging/EffectSteps.h"
#include "platform/filters/BlurFilters.h"
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

// What a row compares of the two pictures.
enum class Measure {
    Whole,          // every pixel
    CellMeans,      // the mean of each 16 x 16 cell of the half-size picture, 8 x 8 at quarter size
    AwayFromEdges,  // pixels off a black edge line and off the rim of a transparent area
};

// Detailed: the pattern as it is. Soft: blurred first (sigma 2), for steps
// with no pixel parameter whose result still depends on detail below the
// preview's pixel: bending levels (an adjustment) or resampling (a
// transform) does not commute with averaging pixels of very different colours.
enum class Content { Detailed, Soft };

struct ScaledLook {
    EffectCode code;
    std::function<void(EffectSettings&)> set;
    Content content = Content::Detailed;
    Measure measure = Measure::Whole;
    // Whether the quarter size is held to the same bound; where it is not,
    // the row says why.
    bool quarter = true;
};

// A colour table that turns the picture to its negative, written once.
std::string invertingTable() {
    static const std::string path = [] {
        const std::filesystem::path file = test::scratchDirectory("scaled-color-table") / "invert.cube";
        std::ofstream(file) << "LUT_3D_SIZE 2\n1 1 1\n0 1 1\n1 0 1\n0 0 1\n1 1 0\n0 1 0\n1 0 0\n0 0 0\n";
        return file.string();
    }();
    return path;
}

// One row per step, each with settings away from neutral that make its
// pixel-measured parameters matter.
std::vector<ScaledLook> looks() {
    using C = EffectCode;
    using S = EffectSettings;
    constexpr Content soft = Content::Soft, detailed = Content::Detailed;
    return {
        {C::Brightness, [](S& s) { s.sliderBrightness = 0.15f; }, soft},
        {C::Exposure, [](S& s) { s.sliderExposure = -0.5f; }, soft},
        {C::Contrast, [](S& s) { s.sliderContrast = 1.4f; }, soft},
        {C::Saturation, [](S& s) { s.sliderSaturation = 1.6f; }, soft},
        {C::Gamma, [](S& s) { s.sliderGamma = 1.8f; }, soft},
        {C::Hue, [](S& s) { s.sliderHue = 70.0f; }, soft},
        {C::RGB, [](S& s) { s.sliderRed = 1.3f, s.sliderBlue = 0.6f; }, soft},
        {C::ColorTable, [](S& s) { s.checkColorTable = 1, s.textFieldColorTable = invertingTable(); }, soft},
        {C::BlackAndWhite, [](S& s) { s.checkBlackWhite = 1; }},
        {C::Sepia, [](S& s) { s.checkSepia = 1; }},
        // The black edge lines come from a 3 x 3 Sobel and are a pixel or two
        // wide at any scale: a shrunk frame draws them over twice the share
        // of the picture. The flat colours between them hold.
        {C::Cartoon, [](S& s) { s.checkCartoon = 1, s.sliderCartoonBlur = 4.0f; }, detailed,
         Measure::AwayFromEdges},
        // At a quarter the radius of 4 becomes 1: choosing among 2 x 2 windows
        // is too coarse to follow the choices among 5 x 5 windows.
        {C::OilPainting, [](S& s) { s.checkOilPainting = 1, s.sliderOilPaintingIntensity = 4.0f; }, detailed,
         Measure::Whole, false},
        {C::Vignette, [](S& s) { s.checkVignette = 1, s.sliderVignetteRadius = -0.1f; }},
        // A cell takes the colour of one pixel; at a quarter that pixel is the
        // mean of 4 x 4 full pixels rather than one of them (the cells
        // themselves line up, see below). A cell size that is not whole at the
        // preview scale (0.02 x 640 = 12.8 cells of 13, 6 at half) cannot line up.
        {C::Pixellate, [](S& s) { s.checkPixellate = 1, s.sliderPixellatePixelSize = 0.05f; }, detailed,
         Measure::Whole, false},
        // Each dot has a one-pixel soft rim at any scale, so dot by dot the
        // pictures differ; the ink per cell is what the eye sees and holds.
        // At a quarter that rim is an eighth of the cell.
        {C::Halftone, [](S& s) { s.checkHalftone = 1, s.sliderHalftoneDotSize = 0.05f; }, detailed,
         Measure::CellMeans, false},
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
        // The transforms leave transparent areas whose rim is a hard step at any scale.
        {C::Scale, [](S& s) { s.checkScale = 1, s.stepperScale = 70.0f; }, soft, Measure::AwayFromEdges},
        {C::Rotate, [](S& s) { s.checkRotate = 1, s.sliderRotateAngle = 30.0f; }, soft,
         Measure::AwayFromEdges},
        {C::Transform3D,
         [](S& s) {
             s.check3DTransform = 1;
             s.stepper3DTransform[12] = 0.2f;  // m41: to the right
             s.stepper3DTransform[3] = 0.15f;  // m14: perspective
         },
         soft, Measure::AwayFromEdges},
        // Near the centre the swirl turns by up to 8 radians, so neighbouring
        // pixels come from far apart; at a quarter a sample of the shrunk
        // picture is no longer the mean of the full picture's samples.
        {C::Swirl, [](S& s) { s.checkSwirl = 1, s.sliderSwirlRadius = 0.5f, s.sliderSwirlAngle = 1.0f; },
         soft, Measure::Whole, false},
        {C::GlassSphere, [](S& s) { s.checkGlassSphere = 1; }, soft, Measure::AwayFromEdges},
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

// The full-size result, shrunk, and the result at the preview scale.
struct Pair {
    Image whole, full, preview;
};

Pair scaledPair(const ScaledLook& look, const Image& frame, int halvings) {
    EffectSettings s = defaultEffectSettings();
    look.set(s);
    const Image& logo = pattern("160x96");
    const Image whole = EffectChain(s, logo, ChainRules::Movie).apply(frame, 0.0);
    EffectChain preview(s, logo, ChainRules::Movie, std::ldexp(1.0, -halvings));
    EXPECT_EQ(preview.codes(), std::vector<EffectCode>{look.code});
    return {whole, shrunk(whole, halvings), preview.apply(shrunk(frame, halvings), 0.0)};
}

Image cellMeans(const Image& in, int cell) {
    Image out(in.width() / cell, in.height() / cell);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                for (int j = 0; j < cell; ++j)
                    for (int i = 0; i < cell; ++i) sum += in.pixel(x * cell + i, y * cell + j)[c];
                out.pixel(x, y)[c] = static_cast<std::uint8_t>((sum + cell * cell / 2) / (cell * cell));
            }
    return out;
}

bool black(const std::uint8_t* p) {
    return p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 255;
}

// Whether the block of `whole` that shrank into pixel (x, y) holds a black pixel.
bool blackInBlock(const Image& whole, int x, int y, int side) {
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i)
            if (black(whole.pixel(x * side + i, y * side + j))) return true;
    return false;
}

// The pixels on an edge made equal in both pictures: a black edge line in
// either, or the rim of a transparent area (partly covered in the shrunk
// picture, or covered in one picture and not in the other).
void maskEdges(Pair& pair) {
    const int side = pair.whole.width() / pair.full.width();
    for (int y = 0; y < pair.full.height(); ++y)
        for (int x = 0; x < pair.full.width(); ++x) {
            const int alpha = pair.full.pixel(x, y)[3];
            const bool rim = (alpha != 0 && alpha != 255) || alpha != pair.preview.pixel(x, y)[3];
            if (rim || black(pair.preview.pixel(x, y)) || blackInBlock(pair.whole, x, y, side))
                std::memcpy(pair.preview.pixel(x, y), pair.full.pixel(x, y), 4);
        }
}

double measured(const ScaledLook& look, const Image& frame, int halvings) {
    Pair pair = scaledPair(look, frame, halvings);
    if (look.measure == Measure::CellMeans)
        return psnr(cellMeans(pair.full, 32 >> halvings), cellMeans(pair.preview, 32 >> halvings));
    if (look.measure == Measure::AwayFromEdges) maskEdges(pair);
    return psnr(pair.full, pair.preview);
}

TEST(EffectChainScale, EveryStepAtHalfAndQuarterLooksLikeTheFullFrameShrunk) {
    const Image& detailed = pattern("640x360");
    ASSERT_FALSE(detailed.isEmpty());
    GaussianBlurFilter soften;
    soften.setBlurRadiusInPixels(2.0);
    const Image soft = soften.apply(detailed);
    ASSERT_EQ(looks().size(), effectSteps().size());
    constexpr double kBound = 35.0;  // dB
    for (const ScaledLook& look : looks()) {
        const Image& frame = look.content == Content::Soft ? soft : detailed;
        const std::string_view name = findEffectStep(look.code)->name;
        EXPECT_GE(measured(look, frame, 1), kBound) << name << " at half size";
        if (look.quarter) {
            EXPECT_GE(measured(look, frame, 2), kBound) << name << " at quarter size";
        }
    }
}

// What holds of pixellate where the colours cannot: at every scale whose
// cell is whole, the preview's cells are the shrunk full frame's cells.
TEST(EffectChainScale, PixellateCellsLineUpAtEveryWholeCellSize) {
    EffectSettings s = defaultEffectSettings();
    s.checkPixellate = 1;
    s.sliderPixellatePixelSize = 0.05f;  // 32 pixels of 640: 16 at half, 8 at quarter
    const Image& frame = pattern("640x360");
    const Image full = EffectChain(s, Image(), ChainRules::Movie).apply(frame, 0.0);
    for (const int halvings : {1, 2}) {
        const int cell = 32 >> halvings;
        const Image preview = EffectChain(s, Image(), ChainRules::Movie, std::ldexp(1.0, -halvings))
                                  .apply(shrunk(frame, halvings), 0.0);
        const Image reference = shrunk(full, halvings);
        for (const Image* picture : {&preview, &reference})
            for (int y = 0; y < picture->height(); ++y)
                for (int x = 0; x < picture->width(); ++x)
                    ASSERT_EQ(test::at(*picture, x, y), test::at(*picture, x / cell * cell, y / cell * cell))
                        << x << ", " << y << " at " << halvings << " halvings";
    }
}

}  // namespace
}  // namespace tintreel
