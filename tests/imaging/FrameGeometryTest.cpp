// The frame's shape before the effects: canvas sizes for landscape and
// portrait frames of odd sizes, where crop to fill places its window, what
// lies under the bars and the blurred copy, the crop and the mirrors, and
// the same geometry on a frame shrunk for playback.
#include <gtest/gtest.h>

#include "imaging/FrameGeometry.h"
#include "settings/ControlCatalogue.h"
#include "settings/NamedSetting.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {

using test::at;
using test::Rgba;

// Pixel (x, y) is red 6 x, green 8 y: every column and row tells itself apart.
Image columns(int w, int h) {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) test::setPixel(img, x, y, {x * 6, y * 8, 100, 255});
    return img;
}

ShapeChoice aspectOf(double aspect, ReframeFill fill = ReframeFill::Crop) {
    ShapeChoice shape;
    shape.aspect = aspect;
    shape.fill = fill;
    return shape;
}

TEST(FrameGeometry, TheCanvasKeepsTheLongerSideAndEvenSizes) {
    const struct {
        FrameSize frame;
        double aspect;
        std::optional<FrameSize> box;
        FrameSize canvas;
    } cases[] = {
        {{640, 360}, 9.0 / 16, {}, {360, 640}},
        {{360, 640}, 9.0 / 16, {}, {360, 640}},
        {{360, 640}, 16.0 / 9, {}, {640, 360}},
        {{161, 91}, 1.0, {}, {162, 162}},
        {{161, 91}, 0.0, {}, {161, 91}},
        {{91, 161}, 4.0 / 5, {}, {128, 162}},
        {{640, 360}, 21.0 / 9, {}, {640, 274}},
        {{640, 360}, 9.0 / 16, FrameSize{1080, 1920}, {1080, 1920}},
        {{360, 640}, 9.0 / 16, FrameSize{1080, 1920}, {1080, 1920}},
        {{640, 360}, 1.0, FrameSize{1080, 1920}, {1080, 1080}},  // an aspect that wins over the preset's
        {{641, 360}, 0.0, FrameSize{1280, 720}, {1280, 718}},
    };
    for (const auto& c : cases) {
        ShapeChoice shape = aspectOf(c.aspect);
        shape.outputBox = c.box;
        EXPECT_EQ(FrameGeometry(shape).outputSize(c.frame), c.canvas)
            << c.frame.width << "x" << c.frame.height << " to " << c.aspect;
        // What apply makes has the size outputSize promised.
        const Image out = FrameGeometry(shape).apply(columns(c.frame.width, c.frame.height));
        EXPECT_EQ((FrameSize{out.width(), out.height()}), c.canvas);
    }
}

// A 40x20 frame to 1:1 keeps a 20x20 window: at the focus when the frame
// allows, else against the edge it would cross.
TEST(FrameGeometry, CropToFillPlacesItsWindowAtTheFocus) {
    const Image frame = columns(40, 20);
    const struct {
        double focusX;
        int firstColumn;
    } cases[] = {{0.5, 10}, {0.0, 0}, {0.1, 0}, {0.6, 14}, {1.0, 20}};
    for (const auto& c : cases) {
        ShapeChoice shape = aspectOf(1.0);
        shape.focusX = c.focusX;
        const Image out = FrameGeometry(shape).apply(frame);
        ASSERT_EQ(out.width(), 40);  // the longer side stays: the window is scaled up twice
        // Scaled up twice, the first and last columns are the window's own.
        EXPECT_EQ(at(out, 0, 10)[0], c.firstColumn * 6) << c.focusX;
        EXPECT_EQ(at(out, 39, 10)[0], (c.firstColumn + 19) * 6) << c.focusX;
    }
}

TEST(FrameGeometry, BarsAndTheBlurredCopySurroundTheWholeFrame) {
    const Image frame = test::solid(64, 36, {200, 100, 50, 255});
    ShapeChoice bars = aspectOf(9.0 / 16, ReframeFill::Bars);
    bars.bars = {0, 0, 255};
    const Image barred = FrameGeometry(bars).apply(frame);
    ASSERT_EQ(barred.width(), 36);
    ASSERT_EQ(barred.height(), 64);
    // 64x36 fitted into 36 wide is 36x20, centred: rows 22 to 41.
    EXPECT_EQ(at(barred, 0, 0), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(at(barred, 35, 21), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(at(barred, 0, 22), (Rgba{200, 100, 50, 255}));
    EXPECT_EQ(at(barred, 35, 41), (Rgba{200, 100, 50, 255}));
    EXPECT_EQ(at(barred, 17, 42), (Rgba{0, 0, 255, 255}));

    const Image blurred = FrameGeometry(aspectOf(9.0 / 16, ReframeFill::Blur)).apply(frame);
    EXPECT_EQ(at(blurred, 17, 32), (Rgba{200, 100, 50, 255}));
    // Above and below: the same colour darkened to 60 %, not a bar.
    EXPECT_TRUE(test::near(at(blurred, 0, 0), {120, 60, 30, 255}, 1));
    EXPECT_TRUE(test::near(at(blurred, 35, 63), {120, 60, 30, 255}, 1));
}

TEST(FrameGeometry, CropComesFirstThenTheMirrors) {
    const Image frame = columns(30, 20);
    ShapeChoice shape;
    shape.crop = PixelRect{5, 2, 10, 6};
    shape.flipHorizontal = true;
    const FrameGeometry geometry(shape);
    EXPECT_FALSE(geometry.isIdentity());
    const Image out = geometry.apply(frame);
    ASSERT_EQ(out.width(), 10);
    ASSERT_EQ(out.height(), 6);
    EXPECT_EQ(at(out, 0, 0), at(frame, 14, 2));
    EXPECT_EQ(at(out, 9, 5), at(frame, 5, 7));

    EXPECT_FALSE(geometry.cropProblem({30, 20}));
    EXPECT_EQ(geometry.cropProblem({14, 20}), "the crop 10:6:5:2 does not fit the 14x20 frame");
    EXPECT_TRUE(FrameGeometry(ShapeChoice{}).isIdentity());
}

// Playback at half size: the crop and the box shrink with the frame, so the
// picture is the full one at half size.
TEST(FrameGeometry, AShrunkFrameGetsTheShrunkGeometry) {
    ShapeChoice shape = aspectOf(1.0);
    shape.crop = PixelRect{20, 10, 80, 40};
    shape.outputBox = FrameSize{100, 100};
    EXPECT_EQ(FrameGeometry(shape).outputSize({200, 100}), (FrameSize{100, 100}));
    EXPECT_EQ(FrameGeometry(shape, 0.5).outputSize({100, 50}), (FrameSize{50, 50}));
    EXPECT_EQ(FrameGeometry(shape, 0.5).apply(columns(100, 50)).width(), 50);
}

// The look's controls become the geometry; a preset's box applies unless a
// height was asked.
TEST(FrameGeometry, TheLookAndTheRenderSettingsMakeTheGeometry) {
    EffectSettings look = defaultEffectSettings();
    EXPECT_TRUE(FrameGeometry(lookGeometry(look)).isIdentity());
    ASSERT_TRUE(assignNamedSetting(look, "comboReframeAspect", "Custom"));
    ASSERT_TRUE(assignNamedSetting(look, "stepperReframeWidth", "5"));
    ASSERT_TRUE(assignNamedSetting(look, "stepperReframeHeight", "2"));
    ASSERT_TRUE(assignNamedSetting(look, "colorWellReframeBars", "#ff8000"));
    const ShapeChoice shape = lookGeometry(look);
    EXPECT_DOUBLE_EQ(shape.aspect, 2.5);
    EXPECT_EQ(shape.bars, (std::array<std::uint8_t, 3>{255, 128, 0}));
    ASSERT_TRUE(assignNamedSetting(look, "comboReframeAspect", "9:16"));
    EXPECT_DOUBLE_EQ(chosenAspect(look), 9.0 / 16);

    RenderSettings render;
    render.preset = findOutputPreset("Square 1080\u00D71080");
    ASSERT_NE(render.preset, nullptr);
    EXPECT_EQ(findOutputPreset("square-1080"), render.preset);
    EXPECT_EQ(renderGeometry(look, {}, render).outputBox, (FrameSize{1080, 1080}));
    render.maxHeight = 720;
    EXPECT_FALSE(renderGeometry(look, {}, render).outputBox);
    EXPECT_EQ(findOutputPreset("Square"), nullptr);

    EffectSettings fixed = defaultEffectSettings();
    EXPECT_TRUE(chooseFixedAspect(fixed, 1080, 1350));
    EXPECT_EQ(kReframeAspects[static_cast<std::size_t>(fixed.comboReframeAspect)], "4:5");
    EXPECT_FALSE(chooseFixedAspect(fixed, 1000, 999));
}

}  // namespace
}  // namespace tintreel
