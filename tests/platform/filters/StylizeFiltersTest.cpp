// Stylising filters: Kuwahara's edges, cell filters, vignette and smooth
// toon by hand, and their degenerate values. (Kuwahara window by window is in
// KernelAccuracyTest.)
#include <limits>

#include "platform/filters/StylizeFilters.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {

using test::at;
using test::near;
using test::Rgba;
using test::solid;

TEST(StylizeFilters, KuwaharaKeepsEdgesAndSurvivesHugeRadii) {
    Image step = solid(12, 6, {0, 0, 0, 255});
    for (int y = 0; y < 6; ++y)
        for (int x = 6; x < 12; ++x) test::setPixel(step, x, y, {255, 255, 255, 255});
    KuwaharaFilter f;
    f.setRadius(3);
    EXPECT_EQ(f.apply(step), step);  // each pixel finds a flat window on its own side
    const Image input = test::noise(7, 5);
    f.setRadius(std::numeric_limits<unsigned>::max());
    const Image huge = f.apply(input);
    f.setRadius(7);  // the larger side: windows are clipped to the picture either way
    EXPECT_EQ(huge, f.apply(input));
    EXPECT_EQ(f.apply(solid(1, 1, {9, 8, 7, 6})), solid(1, 1, {9, 8, 7, 6}));
}

TEST(StylizeFilters, VignetteDarkensTowardTheCorners) {
    VignetteFilter f;
    f.setVignetteStart(0.5);
    f.setVignetteEnd(0.75);
    const Image out = f.apply(solid(101, 101, {255, 255, 255, 200}));
    EXPECT_EQ(at(out, 50, 50), (Rgba{255, 255, 255, 200}));
    // corner: d = 0.7001, smoothstep = 0.8964, 255 * 0.1036 = 26.4
    EXPECT_TRUE(near(at(out, 0, 0), {26, 26, 26, 200}, 1));
    f.setVignetteStart(0.3);
    f.setVignetteEnd(0.3);  // equal edges: a hard circle
    const Image hard = f.apply(solid(101, 101, {255, 255, 255, 255}));
    EXPECT_EQ(at(hard, 50, 50)[0], 255);
    EXPECT_EQ(at(hard, 0, 0)[0], 0);
}

TEST(StylizeFilters, PixellateFillsEachCellWithItsCentreColour) {
    const Image input = test::noise(8, 8);
    PixellateFilter f;
    f.setFractionalWidthOfAPixel(0.5);  // 4-pixel cells
    const Image out = f.apply(input);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(at(out, x, y), at(input, 2, 2));
    EXPECT_EQ(at(out, 7, 7), at(input, 6, 6));
    f.setFractionalWidthOfAPixel(1e9);  // one cell for the whole picture
    EXPECT_EQ(f.apply(input), solid(8, 8, at(input, 4, 4)));
    EXPECT_EQ(cellSizeInPixels(0.02, 1920), 38);
}

TEST(StylizeFilters, HalftoneDrawsDotsByDarkness) {
    HalftoneFilter f;
    f.setFractionalWidthOfAPixel(0.5);  // 10-pixel cells on a 20-pixel picture
    const Image white = solid(20, 10, {255, 255, 255, 255});
    EXPECT_EQ(f.apply(white), white);
    const Image dots = f.apply(solid(20, 10, {0, 0, 0, 255}));
    EXPECT_EQ(at(dots, 5, 5)[0], 0);    // the dot's middle
    EXPECT_EQ(at(dots, 0, 0)[0], 255);  // the cell's corner stays white
    EXPECT_EQ(at(dots, 5, 5)[3], 255);
    f.setFractionalWidthOfAPixel(0.0);  // one-pixel cells binarise
    const Image grey = f.apply(solid(3, 3, {20, 20, 20, 255}));
    EXPECT_EQ(at(grey, 1, 1)[0], 0);
}

TEST(StylizeFilters, SmoothToonQuantisesFlatAreasAndInksEdges) {
    SmoothToonFilter f;
    f.setBlurRadiusInPixels(0.0);
    f.setThreshold(0.2);
    f.setQuantizationLevels(10.0);
    // 100/255 = 0.392 -> round(3.92) / 10 = 0.4 -> 102
    EXPECT_TRUE(near(at(f.apply(solid(5, 5, {100, 100, 100, 255})), 2, 2), {102, 102, 102, 255}, 1));
    Image step = solid(10, 4, {0, 0, 0, 255});
    for (int y = 0; y < 4; ++y)
        for (int x = 5; x < 10; ++x) test::setPixel(step, x, y, {255, 255, 255, 255});
    const Image edges = f.apply(step);
    EXPECT_EQ(at(edges, 5, 2)[0], 0);    // on the edge: black
    EXPECT_EQ(at(edges, 9, 2)[0], 255);  // flat white
    f.setQuantizationLevels(0.0);        // no levels: counts as one level
    EXPECT_TRUE(near(at(f.apply(solid(3, 3, {200, 100, 0, 255})), 1, 1), {255, 0, 0, 255}, 0));
}

}  // namespace
}  // namespace tintreel
