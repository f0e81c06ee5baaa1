// The geometry kernels on tiny pictures whose expected pixels are worked out
// by hand: a crop and the mirrors move pixels exactly, a resample keeps a
// flat colour flat, halves a ramp by the (1 3 3 1)/8 kernel, and only ever
// reads inside the rectangle it was given.
#include <gtest/gtest.h>

#include "platform/filters/Resample.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {

using test::at;
using test::Rgba;

// Pixel (x, y) holds (x, y, x + 10 y, 255): every pixel says where it came from.
Image numbered(int w, int h) {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) test::setPixel(img, x, y, {x, y, x + 10 * y, 255});
    return img;
}

TEST(Resample, CropAndMirrorsMovePixelsExactly) {
    const Image source = numbered(7, 5);
    const Image part = cropped(source, {2, 1, 3, 3});
    ASSERT_EQ(part.width(), 3);
    ASSERT_EQ(part.height(), 3);
    EXPECT_EQ(at(part, 0, 0), (Rgba{2, 1, 12, 255}));
    EXPECT_EQ(at(part, 2, 2), (Rgba{4, 3, 34, 255}));

    const struct {
        bool horizontal, vertical;
        int x, y;  // where pixel (0, 0) of the result comes from
    } cases[] = {{false, false, 0, 0}, {true, false, 6, 0}, {false, true, 0, 4}, {true, true, 6, 4}};
    for (const auto& c : cases) {
        const Image out = flipped(source, c.horizontal, c.vertical);
        EXPECT_EQ(at(out, 0, 0), at(source, c.x, c.y)) << c.horizontal << c.vertical;
        EXPECT_EQ(at(out, 6, 4), at(source, 6 - c.x, 4 - c.y)) << c.horizontal << c.vertical;
        EXPECT_EQ(at(out, 3, 2), at(source, 3, 2)) << "the middle stays";
    }
}

TEST(Resample, RectanglesThatFit) {
    const struct {
        PixelRect rect;
        bool fits;
    } cases[] = {{{0, 0, 7, 5}, true},   {{6, 4, 1, 1}, true},  {{0, 0, 8, 5}, false}, {{1, 0, 7, 5}, false},
                 {{-1, 0, 2, 2}, false}, {{0, 0, 0, 3}, false}, {{0, 4, 2, 2}, false}};
    for (const auto& c : cases)
        EXPECT_EQ(fitsInside(c.rect, 7, 5), c.fits)
            << c.rect.x << "," << c.rect.y << " " << c.rect.width << "x" << c.rect.height;
}

TEST(Resample, FlatStaysFlatAtEverySize) {
    const Image flat = test::solid(9, 7, {40, 120, 200, 255});
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{3, 2}, {9, 7}, {20, 31}, {1, 1}, {17, 4}}) {
        const Image out = resampled(flat, {0, 0, 9, 7}, w, h);
        ASSERT_EQ(out.width(), w);
        ASSERT_EQ(out.height(), h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_EQ(at(out, x, y), (Rgba{40, 120, 200, 255})) << w << "x" << h;
    }
}

// Halving weighs the four nearest columns 1, 3, 3, 1; at the edges the
// missing column's weight goes, and what is left is normalised.
TEST(Resample, HalvingARampAveragesTheColumnsItCovers) {
    Image ramp(8, 1);
    for (int x = 0; x < 8; ++x) test::setPixel(ramp, x, 0, {x * 20, 0, 0, 255});
    const Image half = resampled(ramp, {0, 0, 8, 1}, 4, 1);
    // Inside: (1·20(2i-1) + 3·20(2i) + 3·20(2i+1) + 1·20(2i+2)) / 8 = 20(2i + 0.5).
    EXPECT_EQ(at(half, 1, 0)[0], 50);
    EXPECT_EQ(at(half, 2, 0)[0], 90);
    // Left edge: (3·0 + 3·20 + 1·40) / 7 = 14.3.
    EXPECT_EQ(at(half, 0, 0)[0], 14);
    // Right edge: (1·100 + 3·120 + 3·140) / 7 = 125.7.
    EXPECT_EQ(at(half, 3, 0)[0], 126);
}

// The pixels around the rectangle never leak into its resample.
TEST(Resample, OnlyTheRectangleIsRead) {
    Image framed = test::solid(10, 10, {255, 255, 255, 255});
    for (int y = 3; y < 7; ++y)
        for (int x = 2; x < 8; ++x) test::setPixel(framed, x, y, {10, 20, 30, 255});
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{3, 2}, {12, 8}, {5, 5}}) {
        const Image out = resampled(framed, {2, 3, 6, 4}, w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_EQ(at(out, x, y), (Rgba{10, 20, 30, 255})) << w << "x" << h;
    }
}

TEST(Resample, PasteClipsAtTheCanvasEdgeAndFilledIsOpaque) {
    Image canvas = filled(4, 3, {1, 2, 3});
    EXPECT_EQ(at(canvas, 3, 2), (Rgba{1, 2, 3, 255}));
    paste(canvas, numbered(3, 3), 2, -1);
    EXPECT_EQ(at(canvas, 2, 0), (Rgba{0, 1, 10, 255}));
    EXPECT_EQ(at(canvas, 3, 1), (Rgba{1, 2, 21, 255}));
    EXPECT_EQ(at(canvas, 1, 0), (Rgba{1, 2, 3, 255}));
    EXPECT_EQ(at(canvas, 2, 2), (Rgba{1, 2, 3, 255}));
    darken(canvas, 0.5f);
    EXPECT_EQ(at(canvas, 3, 1), (Rgba{1, 1, 11, 255}));
}

}  // namespace
}  // namespace tintreel
