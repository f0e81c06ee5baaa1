// Blur filters on small pictures: hand-computed Gaussian and nine-tap
// weights, the circle limits, and degenerate sizes.
#include <cmath>
#include <typeinfo>

#include "support/TestImages.h"
#include "platform/filters/AlphaBlendFilter.h"
#include "platform/filters/ColorFilters.h"
#include "platform/filters/DistortionFilters.h"
#include "platform/filters/StylizeFilters.h"
#include "platform/filters/BlurFilters.h"

namespace tintreel {
namespace {

using test::at;
using test::near;
using test::solid;

Image dotImage(int w, int h, int x, int y) {
    Image img = solid(w, h, {0, 0, 0, 255});
    test::setPixel(img, x, y, {255, 255, 255, 255});
    return img;
}

TEST(BlurFilters, GaussianSpreadsAWhiteDotByHandComputedWeights) {
    GaussianBlurFilter blur;
    blur.setBlurRadiusInPixels(1.0);
    const Image out = blur.apply(dotImage(21, 21, 10, 10));
    // 1-D weights for sigma 1, cut at 3: w0 = 1 / 2.50596 = 0.39905; centre w0² * 255 = 40.6
    EXPECT_TRUE(near(at(out, 10, 10), {41, 41, 41, 255}, 1));
    // neighbour: w0 * w1 * 255, w1 = 0.60653 * w0 = 0.24204 -> 24.6
    EXPECT_TRUE(near(at(out, 11, 10), {25, 25, 25, 255}, 1));
    EXPECT_EQ(at(out, 9, 10), at(out, 10, 9));
    long total = 0;
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x) total += at(out, x, y)[0];
    EXPECT_NEAR(total, 255, 25);  // the light is spread, not lost (rounding per pixel)
    EXPECT_EQ(at(out, 0, 0)[0], 0);
}

TEST(BlurFilters, DegenerateRadiiNeverFail) {
    const Image input = test::noise(9, 7);
    GaussianBlurFilter blur;
    blur.setBlurRadiusInPixels(0.0);
    EXPECT_EQ(blur.apply(input), input);
    blur.setBlurRadiusInPixels(-3.0);
    EXPECT_EQ(blur.apply(input), input);
    blur.setBlurRadiusInPixels(1e12);  // capped: a uniform picture stays uniform
    const Image grey = solid(5, 3, {90, 90, 90, 255});
    EXPECT_EQ(blur.apply(grey), grey);
    EXPECT_EQ(blur.apply(solid(1, 1, {1, 2, 3, 4})), solid(1, 1, {1, 2, 3, 4}));
    EXPECT_TRUE(blur.apply(Image()).isEmpty());
}

TEST(BlurFilters, CircleBlurChangesOnlyTheInsideOfTheCircle) {
    const Image input = test::noise(40, 20);
    GaussianBlurPositionFilter f;
    f.setBlurSize(2.0);
    f.setBlurRadius(0.2);  // 8 pixels of the 40-pixel width
    const Image out = f.apply(input);
    EXPECT_EQ(at(out, 0, 0), at(input, 0, 0));
    EXPECT_EQ(at(out, 39, 19), at(input, 39, 19));
    EXPECT_EQ(at(out, 20 + 9, 10), at(input, 20 + 9, 10));
    int changed = 0;
    for (int x = 16; x < 24; ++x) changed += at(out, x, 10) != at(input, x, 10);
    EXPECT_GE(changed, 6);
    f.setBlurSize(0.0);
    EXPECT_EQ(f.apply(input), input);
}

TEST(BlurFilters, FocusBlurKeepsTheCentreSharpAndBlursTheRim) {
    Image input = solid(41, 41, {0, 0, 0, 255});
    for (int y = 0; y < 41; y += 2)
        for (int x = 0; x < 41; ++x) test::setPixel(input, x, y, {255, 255, 255, 255});
    GaussianSelectiveBlurFilter f;
    f.setBlurRadiusInPixels(2.0);
    f.setExcludeCircleRadius(0.2);
    f.setExcludeBlurSize(0.1);
    const Image out = f.apply(input);
    EXPECT_EQ(at(out, 20, 20), at(input, 20, 20));                // d = 0 < R - E: sharp
    EXPECT_TRUE(near(at(out, 0, 20), {128, 128, 128, 255}, 30));  // stripes averaged out
    f.setExcludeBlurSize(-1.0);  // reversed edges: a hard step, not a division by zero
    EXPECT_EQ(at(f.apply(input), 20, 20), at(input, 20, 20));
}

TEST(BlurFilters, MotionBlurUsesNineWeightedSamplesAlongTheAngle) {
    Image column = solid(21, 5, {0, 0, 0, 255});
    for (int y = 0; y < 5; ++y) test::setPixel(column, 10, y, {255, 255, 255, 255});
    MotionBlurFilter f;
    f.setBlurSize(1.0);
    f.setBlurAngle(0.0);
    const Image out = f.apply(column);
    EXPECT_TRUE(near(at(out, 10, 2), {46, 46, 46, 255}, 1));  // 0.18 * 255
    EXPECT_TRUE(near(at(out, 9, 2), {38, 38, 38, 255}, 1));   // 0.15 * 255
    EXPECT_TRUE(near(at(out, 14, 2), {13, 13, 13, 255}, 1));  // 0.05 * 255
    EXPECT_EQ(at(out, 15, 2)[0], 0);
    f.setBlurAngle(90.0);  // along the column: nothing changes
    const Image along = f.apply(column);
    for (int x = 0; x < 21; ++x) EXPECT_TRUE(near(at(along, x, 2), at(column, x, 2), 1));
    f.setBlurSize(1e9);  // samples beyond the picture clamp to its edge
    EXPECT_EQ(f.apply(column).width(), 21);
}

TEST(BlurFilters, ZoomBlurLeavesTheCentreAndUniformPicturesAlone) {
    Image input = test::noise(21, 21);
    ZoomBlurFilter f;
    f.setBlurSize(5.0);
    const Image out = f.apply(input);
    EXPECT_TRUE(near(at(out, 10, 10), at(input, 10, 10), 1));
    EXPECT_NE(out, input);
    const Image grey = solid(8, 6, {50, 60, 70, 80});
    EXPECT_EQ(f.apply(grey), grey);
    f.setBlurSize(0.0);
    EXPECT_EQ(f.apply(input), input);
}

}  // namespace
}  // namespace tintreel

namespace tintreel {
namespace {

// The engine has no looks of its own: a filter made and not yet set leaves
// the picture as it is wherever one of its settings does.
template <typename Filter>
void expectUnchangedUntilSet(const Image& input) {
    EXPECT_EQ(Filter().apply(input), input) << typeid(Filter).name();
}

template <typename... Filters>
void expectEachUnchangedUntilSet(const Image& input) {
    (expectUnchangedUntilSet<Filters>(input), ...);
}

TEST(FilterDefaults, AFilterNotYetSetLeavesThePictureUnchanged) {
    const Image input = test::noise(37, 23);
    expectEachUnchangedUntilSet<BrightnessFilter, ExposureFilter, ContrastFilter, SaturationFilter, GammaFilter,
                            HueFilter, RGBFilter, SepiaFilter, GaussianBlurFilter, GaussianSelectiveBlurFilter,
                            MotionBlurFilter, ZoomBlurFilter, KuwaharaFilter, PixellateFilter, TransformFilter,
                            SwirlFilter>(input);
    EXPECT_EQ(AlphaBlendFilter().apply(input, test::noise(37, 23)), input);
}

}  // namespace
}  // namespace tintreel
