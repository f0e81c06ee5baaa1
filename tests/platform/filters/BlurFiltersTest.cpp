// Blur filters on small pictures: hand-computed Gaussian and nine-tap
// weights, and degenerate sizes. (The circle, focus and zoom blurs are held
// to their definition in KernelAccuracyTest.)
#include "platform/filters/BlurFilters.h"
#include "support/TestImages.h"

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

TEST(BlurFilters, GaussianSpreadsAWhiteDotByHandComputedWeightsAndHugeRadiiNeverFail) {
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

    blur.setBlurRadiusInPixels(1e12);  // capped: a uniform picture stays uniform
    EXPECT_EQ(blur.apply(solid(5, 3, {90, 90, 90, 255})), solid(5, 3, {90, 90, 90, 255}));
    EXPECT_EQ(blur.apply(solid(1, 1, {1, 2, 3, 4})), solid(1, 1, {1, 2, 3, 4}));
    EXPECT_TRUE(blur.apply(Image()).isEmpty());
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

}  // namespace
}  // namespace tintreel
