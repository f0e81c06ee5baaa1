// Watermark geometry (anchors, offsets, y-up mapped onto top-left images)
// and drawing: text layout, shadow, outline, the picture, and the blends
// that must leave the frame unchanged.
#include <gtest/gtest.h>

#include "imaging/ImageTools.h"
#include "imaging/WatermarkPosition.h"
#include "platform/filters/AlphaBlendFilter.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {

using test::at;
using test::Rgba;

// A watermark canvas laid over a frame the way the watermark steps do it.
Image blendOver(const Image& frame, const Image& canvas, double mix) {
    AlphaBlendFilter blend;
    blend.setMix(mix);
    return blend.apply(frame, canvas);
}

Image withImageWatermark(const Image& frame, const Image& logo, const ImageWatermarkPlacement& placement,
                         double mix) {
    return blendOver(frame, DrawImageWatermark(logo, placement, frame.width(), frame.height()), mix);
}

Image withTextWatermark(const Image& frame, const TextWatermarkStyle& style, double mix) {
    return blendOver(frame, DrawTextWatermark(style, frame.width(), frame.height()), mix);
}

TEST(WatermarkPosition, AnchorsAndOffsetsInYUpCoordinates) {
    EXPECT_EQ(*placeWatermark(4, 1920, 1080, 400, 100, 0, 0), (WatermarkBox{760, 490, 400, 100}));
    EXPECT_EQ(*placeWatermark(4, 1920, 1080, 200, 100, 0, 0), (WatermarkBox{860, 490, 200, 100}));
    EXPECT_EQ(*placeWatermark(0, 100, 50, 10, 5, 0, 0), (WatermarkBox{0, 0, 10, 5}));
    EXPECT_EQ(*placeWatermark(1, 100, 50, 10, 5, 20, 0), (WatermarkBox{110, 0, 10, 5}));
    EXPECT_EQ(*placeWatermark(2, 100, 50, 10, 5, 0, -3), (WatermarkBox{0, 42, 10, 5}));
    EXPECT_EQ(*placeWatermark(3, 100, 50, 10, 5, 10, 0), (WatermarkBox{100, 45, 10, 5}));
    EXPECT_FALSE(placeWatermark(-1, 100, 50, 10, 5, 0, 0));
    EXPECT_FALSE(placeWatermark(5, 100, 50, 10, 5, 0, 0));
    EXPECT_FALSE(placeWatermark(0, 100, 50, 10, 5, std::nan(""), 0));
    // y up: a box at the bottom is at the bottom rows of a top-left image
    EXPECT_EQ(toTopLeft(WatermarkBox{0, 0, 100, 50}, 1080), QRectF(0, 1030, 100, 50));
}

TEST(ImageWatermark, PlacesThePictureAtItsPixelSize) {
    const Image logo = test::solid(4, 2, {255, 0, 0, 255});
    const Image canvas = DrawImageWatermark(logo, {1, 1.0, 0, 0}, 10, 6);  // bottom right
    EXPECT_EQ(at(canvas, 6, 4), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(at(canvas, 9, 5), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(at(canvas, 5, 5)[3], 0);
    EXPECT_EQ(at(canvas, 9, 3)[3], 0);
    const Image pushed = DrawImageWatermark(logo, {1, 1.0, 2, 0}, 10, 6);  // 2 past the right edge
    EXPECT_EQ(at(pushed, 8, 5), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(at(pushed, 7, 5)[3], 0);
    const Image half = DrawImageWatermark(test::solid(8, 4, {0, 255, 0, 255}), {2, 0.5, 0, 0}, 10, 6);
    EXPECT_EQ(at(half, 0, 0), (Rgba{0, 255, 0, 255}));  // top left, 4 x 2
    EXPECT_EQ(at(half, 3, 1), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(at(half, 4, 1)[3], 0);
    EXPECT_EQ(at(half, 0, 2)[3], 0);
    const Image big = DrawImageWatermark(test::noise(30, 20), {0, 1.0, 0, 0}, 10, 6);  // lower-left part
    EXPECT_EQ(at(big, 9, 0)[3], at(test::noise(30, 20), 9, 14)[3]);
}

// Bounding box (in top-left pixels) of everything drawn on a canvas.
QRect inkBox(const Image& canvas) {
    QRect box;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (canvas.pixel(x, y)[3] > 0) box |= QRect(x, y, 1, 1);
    return box;
}

TextWatermarkStyle style(const std::string& text, int position) {
    TextWatermarkStyle s;
    s.text = text;
    s.fontName = "Marker Felt";  // usually not installed: Qt picks the nearest family
    s.fontSize = 20;
    s.color = {1, 1, 1, 1};
    s.position = position;
    return s;
}

TEST(TextWatermark, AnchorsTheMeasuredBox) {
    const QSizeF size = measureTextWatermark(style("Tintreel", 0), 300, 200);
    ASSERT_GT(size.width(), 20);
    ASSERT_GT(size.height(), 10);
    const QRect bottomLeft = inkBox(DrawTextWatermark(style("Tintreel", 0), 300, 200));
    ASSERT_FALSE(bottomLeft.isEmpty());
    EXPECT_LE(bottomLeft.left(), 3);
    EXPECT_GE(bottomLeft.bottom(), 200 - size.height());
    EXPECT_GE(bottomLeft.top(), 200 - size.height() - 1);
    const QRect topRight = inkBox(DrawTextWatermark(style("Tintreel", 3), 300, 200));
    EXPECT_GE(topRight.right(), 300 - 4);
    EXPECT_LE(topRight.bottom(), size.height() + 1);
    TextWatermarkStyle moved = style("Tintreel", 4);
    const QRect centre = inkBox(DrawTextWatermark(moved, 300, 200));
    moved.xOffset = 10;
    moved.yOffset = 10;  // right and up
    const QRect shifted = inkBox(DrawTextWatermark(moved, 300, 200));
    EXPECT_EQ(shifted.topLeft(), centre.topLeft() + QPoint(10, -10));
}

TEST(TextWatermark, LongTextWrapsAtTheCanvasWidthWithCentredLines) {
    const std::string text = "one two three four five six seven eight nine ten";
    const QSizeF oneLine = measureTextWatermark(style("one", 0), 1000, 200);
    const QSizeF wrapped = measureTextWatermark(style(text, 0), 120, 200);
    EXPECT_LE(wrapped.width(), 120);
    EXPECT_GE(wrapped.height(), 3 * oneLine.height() - 1);
    const QRect ink = inkBox(DrawTextWatermark(style("wide line\nx", 4), 300, 200));
    const QRect lastLine = inkBox(DrawTextWatermark(style("x", 4), 300, 200));
    EXPECT_NEAR(lastLine.center().x(), ink.center().x(), 2);  // the short line sits in the middle
}

TEST(TextWatermark, ShadowAndOutlineAreBlackAndOnlyWhenAsked) {
    auto darkPixels = [](const Image& canvas) {
        int n = 0;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x) {
                const std::uint8_t* p = canvas.pixel(x, y);
                n += p[3] > 64 && p[0] < 60;
            }
        return n;
    };
    TextWatermarkStyle s = style("Shadow", 4);
    s.fontSize = 40;
    const Image plain = DrawTextWatermark(s, 300, 120);
    EXPECT_EQ(darkPixels(plain), 0);
    s.shadow = true;
    const Image shadowed = DrawTextWatermark(s, 300, 120);
    EXPECT_GT(darkPixels(shadowed), 20);
    EXPECT_GT(inkBox(shadowed).bottom(), inkBox(plain).bottom() + 2);  // below and right
    EXPECT_GT(inkBox(shadowed).right(), inkBox(plain).right() + 2);
    s.shadow = false;
    s.stroke = true;
    EXPECT_GT(darkPixels(DrawTextWatermark(s, 300, 120)), 20);
}

TEST(Watermarks, NothingToDrawLeavesTheFrameUnchanged) {
    const Image frame = test::noise(64, 32);
    EXPECT_EQ(withTextWatermark(frame, style("", 0), 1.0), frame);
    EXPECT_EQ(withTextWatermark(frame, style("abc", -1), 1.0), frame);
    EXPECT_EQ(withTextWatermark(frame, style("abc", 0), 0.0), frame);
    TextWatermarkStyle zero = style("abc", 0);
    zero.fontSize = 0;
    EXPECT_EQ(withTextWatermark(frame, zero, 1.0), frame);
    EXPECT_NE(withTextWatermark(frame, style("abc", 0), 1.0), frame);

    const Image logo = test::solid(4, 2, {255, 0, 0, 255});
    EXPECT_EQ(withImageWatermark(frame, Image(), {1, 1.0, 0, 0}, 0.7), frame);
    EXPECT_EQ(withImageWatermark(frame, logo, {-1, 1.0, 0, 0}, 0.7), frame);
    EXPECT_EQ(withImageWatermark(frame, logo, {1, 1.0, 0, 0}, 0.0), frame);
    EXPECT_EQ(withImageWatermark(frame, logo, {1, 0.0, 0, 0}, 0.7), frame);
    const Image blended = withImageWatermark(test::solid(12, 8, {0, 0, 0, 255}), logo, {1, 1.0, 0, 0}, 0.7);
    EXPECT_TRUE(test::near(at(blended, 11, 7), {179, 0, 0, 255}, 1));  // 70 % of the picture
}

}  // namespace
}  // namespace tintreel
