// The effect catalogue: order, codes and phrases, run conditions, value
// conversions, and the still chain built from it.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "imaging/EffectChain.h"
#include "imaging/EffectSteps.h"
#include "imaging/ImageTools.h"
#include "platform/filters/ColorFilters.h"
#include "platform/filters/DistortionFilters.h"
#include "platform/filters/StylizeFilters.h"
#include "settings/ControlCatalogue.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {

TEST(EffectSteps, FixedOrderCodesAndPhrases) {
    std::vector<int> codes;
    for (const EffectStep& step : effectSteps()) codes.push_back(static_cast<int>(step.code));
    // The colour table (27) runs after the adjustments and before the effects.
    const std::vector<int> expected = {1,  2,  3,  4,  5,  6,  7,  27, 8,  9,  10, 11, 12, 13,
                                       14, 15, 16, 17, 18, 19, 25, 26, 20, 21, 22, 23, 24};
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(progressPhrase(EffectCode::Brightness), "Adjusting Brightness... ");
    EXPECT_EQ(progressPhrase(EffectCode::BlackAndWhite), "Applying Black & White Effect... ");
    EXPECT_EQ(progressPhrase(EffectCode::Transform3D), "Performing 3D Transformation... ");
    EXPECT_EQ(progressPhrase(EffectCode::Rotate), "Rotating... ");
    EXPECT_EQ(progressPhrase(EffectCode::ColorTable), "Applying Color Table... ");
    EXPECT_EQ(progressPhrase(static_cast<EffectCode>(28)), "");
    EXPECT_EQ(progressPhrase(static_cast<EffectCode>(0)), "");
}

TEST(EffectSteps, RunConditionsOnBothPaths) {
    EffectSettings s = defaultEffectSettings();
    for (const EffectStep& step : effectSteps()) {
        EXPECT_FALSE(step.runsOnMovie(s)) << static_cast<int>(step.code);
        EXPECT_EQ(step.runsOnStill(s), step.adjustment) << static_cast<int>(step.code);
    }
    s.sliderGreen = 1.0000001f;  // any difference from neutral counts on the movie path
    s.checkSepia = 2;            // a box counts as ticked only with state 1
    s.checkScale = 1;
    for (const EffectStep& step : effectSteps()) {
        const bool expected = step.code == EffectCode::RGB || step.code == EffectCode::Scale;
        EXPECT_EQ(step.runsOnMovie(s), expected) << static_cast<int>(step.code);
    }
}

TEST(EffectSteps, ValueConversionsAsWritten) {
    constexpr unsigned kMost = std::numeric_limits<unsigned>::max();
    for (const auto& [intensity, radius] : std::initializer_list<std::pair<float, unsigned>>{
             {2.7f, 2u}, {0.4f, 0u}, {-3.0f, 0u}, {std::nanf(""), 0u}, {1e20f, kMost}})
        EXPECT_EQ(oilPaintingRadius(intensity), radius) << intensity;

    EXPECT_EQ(scaleTransform(50.0f).at(4, 4), 2.0);
    EXPECT_EQ(scaleTransform(200.0f).at(4, 4), 0.5);
    EXPECT_EQ(scaleTransform(3.0f).at(4, 4), static_cast<double>(100.0f / 3.0f));  // single precision
    EXPECT_EQ(scaleTransform(100.0f), Transform3D::identity());

    const Transform3D r = rotationTransform(90.0f);
    EXPECT_NEAR(r.at(1, 1), 7.549789e-8, 1e-13);  // the angle lands just below pi / 2
    EXPECT_EQ(r.at(2, 2), r.at(1, 1));
    EXPECT_NEAR(r.at(1, 2), 1.0, 1e-12);
    EXPECT_EQ(r.at(2, 1), -r.at(1, 2));
    EXPECT_EQ(r.at(4, 4), 1.0);

    // A radius on a shrunk frame: rounded, never below 1 unless it was 0.
    for (const auto& [radius, scale, scaled] : std::initializer_list<std::tuple<unsigned, double, unsigned>>{
             {4, 0.5, 2}, {5, 0.5, 3}, {1, 0.25, 1}, {0, 0.5, 0}, {7, 1.0, 7}, {kMost, 2.0, kMost}})
        EXPECT_EQ(scaledRadius(radius, scale), scaled) << radius << " at " << scale;

    EXPECT_EQ(percentToFraction(70.0f), static_cast<double>(70.0f / 100.0f));
    EXPECT_NE(percentToFraction(70.0f), 0.7);  // widened from single precision
}

TEST(EffectChain, VignetteRadiusBecomesStartAndEnd) {
    const Image input = test::solid(41, 31, {200, 180, 160, 255});
    VignetteFilter expected;
    expected.setVignetteStart(0.25);
    expected.setVignetteEnd(0.5);
    EffectSettings s = defaultEffectSettings();
    s.sliderVignetteRadius = -0.25f;
    EXPECT_EQ(findEffectStep(EffectCode::Vignette)->make(s, Image())->apply(input, 0.0),
              expected.apply(input));
}

TEST(EffectChain, AllOffGivesTheSnapshotAndAdjustmentsApply) {
    const Image snapshot = test::noise(24, 16);
    EffectSettings s = defaultEffectSettings();
    EXPECT_EQ(ApplyEffectChain(s, snapshot, Image(), 0.0), snapshot);
    s.sliderBrightness = 0.2f;
    s.sliderGamma = 1.5f;
    BrightnessFilter brightness;
    brightness.setBrightness(0.2f);
    GammaFilter gamma;
    gamma.setGamma(1.5f);
    const Image expected = gamma.apply(brightness.apply(snapshot));
    EXPECT_EQ(ApplyEffectChain(s, snapshot, Image(), 0.0), expected);
}

TEST(EffectChain, TransformsRunScaleThenRotateThenMatrix) {
    const Image snapshot = test::noise(20, 12);
    EffectSettings s = defaultEffectSettings();
    s.checkScale = 1;
    s.stepperScale = 50.0f;
    s.check3DTransform = 1;
    s.stepper3DTransform[12] = 0.5f;  // m41: move right by a quarter width
    const Transform3D matrix = matrixTransform(s);
    const auto transformed = [](const Image& image, const Transform3D& transform) {
        TransformFilter filter;
        filter.setTransform3D(transform);
        return filter.apply(image);
    };
    const Image scaleFirst = transformed(transformed(snapshot, scaleTransform(50.0f)), matrix);
    const Image matrixFirst = transformed(transformed(snapshot, matrix), scaleTransform(50.0f));
    ASSERT_NE(scaleFirst, matrixFirst);
    EXPECT_EQ(ApplyEffectChain(s, snapshot, Image(), 0.0), scaleFirst);
}

TEST(EffectChain, EveryStepOnKeepsTheSnapshotSize) {
    EffectSettings s = defaultEffectSettings();
    s.checkBlackWhite = s.checkSepia = s.checkCartoon = s.checkOilPainting = s.checkVignette = 1;
    s.checkPixellate = s.checkHalftone = s.checkBlur = s.checkCircleBlur = s.checkFocusBlur = 1;
    s.checkMotionBlur = s.checkZoomBlur = s.checkScale = s.checkRotate = s.check3DTransform = 1;
    s.checkSwirl = s.checkGlassSphere = s.checkTextWatermark = s.checkImageWatermark = 1;
    s.stepperScale = 0.0f;  // typed by a user: an empty picture, not a failure
    for (const Image& snapshot : {test::noise(33, 17), test::noise(1, 1)}) {
        const Image out = ApplyEffectChain(s, snapshot, test::noise(8, 4), 0.0);
        EXPECT_EQ(out.width(), snapshot.width());
        EXPECT_EQ(out.height(), snapshot.height());
    }
}

TEST(EffectChain, MovieEffectsReuseTheirOverlayAndFollowTheFrameSize) {
    EffectSettings s = defaultEffectSettings();
    s.checkImageWatermark = 1;
    s.stepperImageOpacity = 100.0f;
    const Image logo = test::solid(4, 2, {255, 0, 0, 255});
    const EffectStep& step = effectSteps()[26];
    ASSERT_EQ(step.code, EffectCode::ImageWatermark);
    std::unique_ptr<FrameEffect> effect = step.make(s, logo);
    const Image frame = test::solid(10, 6, {0, 0, 255, 255});
    const Image first = effect->apply(frame, 0.0);
    EXPECT_EQ(effect->apply(frame, 0.0), first);
    EXPECT_EQ(test::at(first, 9, 5), (test::Rgba{255, 0, 0, 255}));  // bottom right
    const Image larger = effect->apply(test::solid(20, 8, {0, 0, 255, 255}), 0.0);
    EXPECT_EQ(test::at(larger, 19, 7), (test::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(test::at(larger, 15, 7), (test::Rgba{0, 0, 255, 255}));
}

TEST(EffectChain, MovieRulesRunOnlyWhatARenderRunsAndMakeEveryLinkOpaque) {
    EffectSettings s = defaultEffectSettings();
    s.sliderBrightness = 0.1f;
    s.checkRotate = 1;
    s.sliderRotateAngle = 30.0f;
    s.checkScale = 1;
    s.stepperScale = 80.0f;
    const std::vector<EffectCode> expectedCodes = {EffectCode::Brightness, EffectCode::Scale,
                                                   EffectCode::Rotate};
    EffectChain movie(s, Image(), ChainRules::Movie);
    EXPECT_EQ(movie.codes(), expectedCodes);
    EXPECT_TRUE(EffectChain(defaultEffectSettings(), Image(), ChainRules::Movie).empty());

    // The rotation leaves transparent corners; a movie between two steps keeps
    // them as opaque black, and so must the chain.
    const Image frame = test::noise(40, 24);
    Image expected = frame;
    for (EffectCode code : expectedCodes) {
        expected = findEffectStep(code)->make(s, Image())->apply(expected, 0.0);
        if (code != expectedCodes.back()) makeOpaque(expected);
    }
    EXPECT_EQ(movie.apply(frame, 0.0), expected);
    const Image last = movie.apply(frame, 0.0);  // a chain is applied frame after frame
    EXPECT_EQ(last, expected);
    EXPECT_EQ(test::at(last, 0, 0)[3], 0);  // the last step's own transparency reaches the encoder as it is
}

}  // namespace
}  // namespace tintreel
