// The transform filter, the input rotations and the two-input blend, on
// small pictures. (Swirl and glass sphere are held to their definition in
// KernelAccuracyTest.)
#include <cmath>
#include <limits>

#include "platform/filters/AlphaBlendFilter.h"
#include "platform/filters/DistortionFilters.h"
#include "platform/filters/InputRotation.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {

using test::at;
using test::near;
using test::Rgba;
using test::solid;

// An 8 x 8 picture of four solid 4 x 4 quadrants.
Image quadrants() {
    Image img(8, 8);
    const Rgba colours[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255}};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) test::setPixel(img, x, y, colours[(y / 4) * 2 + x / 4]);
    return img;
}

Image transformed(const Image& img, const Transform3D& t) {
    TransformFilter f;
    f.setTransform3D(t);
    return f.apply(img);
}

TEST(TransformFilter, HalvingByM44ShrinksAboutTheCentre) {
    Transform3D half = Transform3D::identity();
    half.at(4, 4) = 2.0;
    const Image out = transformed(quadrants(), half);
    EXPECT_EQ(at(out, 0, 0), (Rgba{0, 0, 0, 0}));  // uncovered: transparent black
    EXPECT_EQ(at(out, 7, 7), (Rgba{0, 0, 0, 0}));
    EXPECT_EQ(at(out, 2, 2), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(at(out, 5, 2), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(at(out, 2, 5), (Rgba{0, 0, 255, 255}));
}

TEST(TransformFilter, QuarterTurnMatrixTurnsCounterClockwise) {
    const Image input = test::noise(6, 6);
    Transform3D turn = Transform3D::identity();
    turn.at(1, 1) = turn.at(2, 2) = 0.0;
    turn.at(1, 2) = 1.0;
    turn.at(2, 1) = -1.0;
    const Image out = transformed(input, turn);
    const Image expected = rotated(input, InputRotation::RotateLeft);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) ASSERT_TRUE(near(at(out, x, y), at(expected, x, y), 1));
}

TEST(TransformFilter, DegenerateMatricesDrawNothing) {
    const Image input = test::noise(5, 4);
    const Image clear(5, 4);
    EXPECT_EQ(transformed(input, Transform3D{}), clear);  // all zero: singular
    Transform3D nan = Transform3D::identity();
    nan.at(2, 3) = 0.5;
    nan.at(1, 1) = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(transformed(input, nan), clear);
    Transform3D zeroScale = Transform3D::identity();
    zeroScale.at(4, 4) = std::numeric_limits<double>::infinity();  // a scale of 0 %
    EXPECT_EQ(transformed(input, zeroScale), clear);
    Transform3D behind = Transform3D::identity();
    behind.at(4, 4) = -1.0;  // every corner behind the eye
    EXPECT_EQ(transformed(input, behind), clear);
    EXPECT_TRUE(transformed(Image(), behind).isEmpty());
}

TEST(InputRotation, TurnsByQuarterAndHalfTurns) {
    // a b c        left: c f   right: d a   half: f e d
    // d e f              b e          e b         c b a
    //                    a d          f c
    Image img(3, 2);
    for (int i = 0; i < 6; ++i) test::setPixel(img, i % 3, i / 3, {i, i, i, 255});
    const Image left = rotated(img, InputRotation::RotateLeft);
    ASSERT_EQ(left.width(), 2);
    ASSERT_EQ(left.height(), 3);
    EXPECT_EQ(at(left, 0, 0)[0], 2);
    EXPECT_EQ(at(left, 1, 0)[0], 5);
    EXPECT_EQ(at(left, 0, 2)[0], 0);
    const Image right = rotated(img, InputRotation::RotateRight);
    EXPECT_EQ(at(right, 0, 0)[0], 3);
    EXPECT_EQ(at(right, 1, 0)[0], 0);
    EXPECT_EQ(at(right, 0, 2)[0], 5);
    const Image half = rotated(img, InputRotation::HalfTurn);
    EXPECT_EQ(at(half, 0, 0)[0], 5);
    EXPECT_EQ(at(half, 2, 1)[0], 0);
    EXPECT_EQ(rotated(img, InputRotation::None), img);
    EXPECT_TRUE(rotated(Image(), InputRotation::RotateLeft).isEmpty());
}

// Quarter turns move whole tiles of pixels at once and the rest one by one:
// every pixel lands where the turn puts it, whether the sizes are whole
// tiles, leave a part of one, or are narrower than one.
TEST(InputRotation, QuarterTurnsMoveEveryPixelOfTilesAndLeftovers) {
    for (const auto& [w, h] : {std::pair{16, 8}, {37, 21}, {25, 10}, {8, 5}, {5, 19}, {1, 1}}) {
        const Image img = test::noise(w, h);
        const Image left = rotated(img, InputRotation::RotateLeft);
        const Image right = rotated(img, InputRotation::RotateRight);
        ASSERT_EQ(left.width(), h);
        ASSERT_EQ(right.height(), w);
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < h; ++x) {
                ASSERT_EQ(at(left, x, y), at(img, w - 1 - y, x))
                    << w << "x" << h << " left " << x << "," << y;
                ASSERT_EQ(at(right, x, y), at(img, y, h - 1 - x))
                    << w << "x" << h << " right " << x << "," << y;
            }
    }
}

TEST(AlphaBlendFilter, OverlayAlphaTimesMixCoversTheBase) {
    const Image base = solid(2, 2, {100, 100, 100, 200});
    AlphaBlendFilter blend;
    blend.setMix(0.5);
    EXPECT_TRUE(near(at(blend.apply(base, solid(2, 2, {200, 0, 50, 255})), 1, 1), {150, 50, 75, 200}, 1));
    // overlay alpha 51 (0.2) at mix 0.5: 10 % of the overlay
    EXPECT_TRUE(near(at(blend.apply(base, solid(2, 2, {200, 0, 50, 51})), 0, 0), {110, 90, 95, 200}, 1));
    EXPECT_EQ(blend.apply(base, solid(2, 2, {255, 255, 255, 0})), base);
    EXPECT_EQ(blend.apply(base, Image()), base);
    // an overlay of another size is scaled to the base
    EXPECT_TRUE(near(at(blend.apply(base, solid(1, 1, {200, 0, 50, 255})), 1, 0), {150, 50, 75, 200}, 1));
    blend.setMix(0.0);
    EXPECT_EQ(blend.apply(base, solid(2, 2, {0, 0, 0, 255})), base);
    blend.setMix(std::nan(""));
    EXPECT_EQ(blend.mix(), 0.0);
    blend.setMix(7.0);
    EXPECT_EQ(blend.mix(), 1.0);
}

// A watermark blends onto a frame it owns over the canvas's inked rows only;
// the picture is the one the copying blend gives, with ink in any row, in
// the last pixels of a row, or nowhere.
TEST(AlphaBlendFilter, BlendingOntoTheInkedRowsEqualsTheCopyingBlend) {
    const Image base = test::noise(37, 23, 3);
    Image inked = test::noise(37, 23, 5), blank(37, 23), corner(37, 23);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            if (y < 4 || y > 15) inked.pixel(x, y)[3] = 0;
    test::setPixel(corner, 36, 22, {255, 0, 0, 255});
    EXPECT_EQ(rowsWithAlpha(inked), (std::pair{4, 16}));
    EXPECT_EQ(rowsWithAlpha(corner), (std::pair{22, 23}));
    EXPECT_EQ(rowsWithAlpha(blank).first, rowsWithAlpha(blank).second);
    AlphaBlendFilter blend;
    blend.setMix(0.6);
    for (const Image* overlay : {&inked, &blank, &corner}) {
        Image onto = base;
        const auto [first, last] = rowsWithAlpha(*overlay);
        blend.blendOnto(onto, *overlay, first, last);
        EXPECT_EQ(onto, blend.apply(base, *overlay));
    }
    EXPECT_NE(blend.apply(base, corner), base);
}

}  // namespace
}  // namespace tintreel
