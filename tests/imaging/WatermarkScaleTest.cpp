// Watermarks that follow the frame: "Scale with Video" sizes and places a
// watermark as a fraction of the frame's shorter side, and the timing shows,
// fades and hides it by the frame's time. Off, both leave today's pixels.
#include <gtest/gtest.h>

#include <algorithm>

#include "imaging/ImageTools.h"
#include "imaging/WatermarkScale.h"
#include "platform/filters/AlphaBlendFilter.h"
#include "settings/ControlCatalogue.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {

using test::at;
using test::Rgba;

// The pixels of `image` that differ from `background`, as a box in top-left
// coordinates; empty when none do.
struct Box {
    int left = 0, top = 0, right = -1, bottom = -1;  // inclusive
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
    bool empty() const { return right < left; }
};

Box markedBox(const Image& image, Rgba background) {
    Box box{image.width(), image.height(), -1, -1};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (at(image, x, y) != background) {
                box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
            }
    return box;
}

// One look, made on a 1920 x 1080 frame: a text watermark at the bottom
// right pulled 60 in and 40 up, and a 400 x 200 picture at half size at the
// top left pushed 30 right and 20 down.
EffectSettings designedLook(bool scaleWithVideo) {
    EffectSettings s = defaultEffectSettings();
    s.checkTextWatermark = 1;
    s.textFieldText = "Tintreel 2026";
    s.stepperTextFontSize = 80;
    s.stepperTextOpacity = 100;
    s.comboTextPosition = 1;
    s.stepperTextXOffset = -60;
    s.stepperTextYOffset = 40;
    s.checkTextShadow = 1;
    s.checkTextStroke = 1;
    s.checkTextScaleWithVideo = scaleWithVideo ? 1 : 0;
    s.checkImageWatermark = 1;
    s.stepperImageScale = 50;
    s.stepperImageOpacity = 100;
    s.comboImagePosition = 2;
    s.stepperImageXOffset = 30;
    s.stepperImageYOffset = -20;
    s.checkImageScaleWithVideo = scaleWithVideo ? 1 : 0;
    return s;
}

const Rgba kBlack{0, 0, 0, 255};
const Image& logo() {
    static const Image picture = test::solid(400, 200, {255, 0, 0, 255});
    return picture;
}

// The text alone and the picture alone, each on a black frame.
struct Marks {
    Box text, picture;
};
Marks marksOn(int width, int height, bool scaleWithVideo) {
    EffectSettings text = designedLook(scaleWithVideo);
    text.checkImageWatermark = 0;
    EffectSettings picture = designedLook(scaleWithVideo);
    picture.checkTextWatermark = 0;
    const Image frame = test::solid(width, height, kBlack);
    return {markedBox(ApplyEffectChain(text, frame, logo(), 0.0), kBlack),
            markedBox(ApplyEffectChain(picture, frame, logo(), 0.0), kBlack)};
}

// Within 1 % or 2 pixels of the number expected on that frame.
::testing::AssertionResult agrees(double actual, double expected) {
    if (std::abs(actual - expected) <= std::max(0.01 * expected, 2.0)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual << " is not within 1 % or 2 px of " << expected;
}

TEST(WatermarkScale, TheFactorIsTheShorterSideOver1080WhenOn) {
    EXPECT_EQ(watermarkScaleFactor(false, 640, 360), 1.0);
    EXPECT_EQ(watermarkScaleFactor(true, 1920, 1080), 1.0);
    EXPECT_DOUBLE_EQ(watermarkScaleFactor(true, 640, 360), 1.0 / 3.0);
    EXPECT_EQ(watermarkScaleFactor(true, 3840, 2160), 2.0);
    EXPECT_EQ(watermarkScaleFactor(true, 1080, 1920), 1.0);
    EXPECT_EQ(watermarkScaleFactor(true, 0, 0), 0.0);
    // On a frame shrunk for a preview: the pixel scale, or the shrunk frame's own side.
    EXPECT_EQ(watermarkScaleFactor(false, 960, 540, 0.5), 0.5);
    EXPECT_EQ(watermarkScaleFactor(true, 960, 540, 0.5), 0.5);
    EXPECT_EQ(watermarkScaleFactor(true, 480, 270, 0.25), 0.25);

    const EffectSettings off = designedLook(false);
    EXPECT_TRUE(watermarksForFrame(off, 640, 360) == off);
    const EffectSettings on = watermarksForFrame(designedLook(true), 3840, 2160);
    EXPECT_EQ(on.stepperTextFontSize, 160.0f);
    EXPECT_EQ(on.stepperTextXOffset, -120.0f);
    EXPECT_EQ(on.stepperTextYOffset, 80.0f);
    EXPECT_EQ(on.stepperImageScale, 100.0f);
    EXPECT_EQ(on.stepperImageXOffset, 60.0f);
    EXPECT_EQ(on.stepperImageYOffset, -40.0f);
    EXPECT_EQ(on.stepperTextOpacity, 100.0f) << "opacity is no size";
    EXPECT_EQ(textWatermarkStyle(designedLook(true), 640, 360).scale, 1.0 / 3.0);
    EXPECT_EQ(textWatermarkStyle(designedLook(false), 640, 360).scale, 1.0);
}

// One profile on 360p, 1080p, 4K and a portrait phone frame: each mark
// covers the same fraction of the shorter side and keeps the same gap, as a
// fraction, to its corner.
TEST(WatermarkScale, OneLookCoversTheSameShareOfEveryFrame) {
    const Marks reference = marksOn(1920, 1080, true);
    ASSERT_FALSE(reference.text.empty());
    ASSERT_FALSE(reference.picture.empty());
    EXPECT_EQ(reference.picture.width(), 200);
    EXPECT_EQ(reference.picture.left, 30);
    EXPECT_EQ(reference.picture.top, 20);
    for (const auto& [width, height] : {std::pair{640, 360}, {3840, 2160}, {1080, 1920}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const double f = std::min(width, height) / 1080.0;
        const Marks marks = marksOn(width, height, true);
        EXPECT_TRUE(agrees(marks.text.width(), reference.text.width() * f));
        EXPECT_TRUE(agrees(marks.text.height(), reference.text.height() * f));
        EXPECT_TRUE(agrees(width - 1 - marks.text.right, (1920 - 1 - reference.text.right) * f));
        EXPECT_TRUE(agrees(height - 1 - marks.text.bottom, (1080 - 1 - reference.text.bottom) * f));
        EXPECT_TRUE(agrees(marks.picture.width(), reference.picture.width() * f));
        EXPECT_TRUE(agrees(marks.picture.height(), reference.picture.height() * f));
        EXPECT_TRUE(agrees(marks.picture.left, reference.picture.left * f));
        EXPECT_TRUE(agrees(marks.picture.top, reference.picture.top * f));
    }
    // Off, the same numbers are pixels: the text keeps its pixel size on 4K.
    const Marks fixed = marksOn(3840, 2160, false);
    EXPECT_EQ(fixed.text.width(), reference.text.width());
    EXPECT_EQ(fixed.picture.width(), 200);
}

// The drawing as it was before these controls: the style and placement read
// straight from the settings, blended at their opacity.
Image drawnUnscaled(const EffectSettings& s, const Image& frame) {
    AlphaBlendFilter text, picture;
    text.setMix(s.stepperTextOpacity / 100.0f);
    picture.setMix(s.stepperImageOpacity / 100.0f);
    const Image withText =
        text.apply(frame, DrawTextWatermark(textWatermarkStyle(s), frame.width(), frame.height()));
    return picture.apply(
        withText, DrawImageWatermark(logo(), imageWatermarkPlacement(s), frame.width(), frame.height()));
}

TEST(WatermarkScale, OffOrAtFactorOneThePixelsAreThoseOfTheUnscaledDrawing) {
    EffectSettings s = designedLook(false);
    s.stepperTextOpacity = 70;
    s.stepperImageOpacity = 55;
    for (const auto& [width, height] : {std::pair{640, 360}, {1280, 720}}) {
        const Image frame = test::noise(width, height);
        const Image expected = drawnUnscaled(s, frame);
        EXPECT_EQ(ApplyEffectChain(s, frame, logo(), 0.0), expected);
        EXPECT_EQ(ApplyEffectChain(s, frame, logo(), 3600.0), expected)
            << "no timing set: shown at every time";
    }
    const Image hd = test::noise(1920, 1080);
    EXPECT_EQ(ApplyEffectChain(designedLook(true), hd, logo(), 0.0), drawnUnscaled(designedLook(false), hd));
}

TEST(WatermarkTiming, ShowsBetweenStartAndEndAndFadesLinearly) {
    const WatermarkTiming always{};
    for (double t : {-0.01, 0.0, 1.5, 86400.0}) EXPECT_EQ(watermarkVisibility(always, t), 1.0) << t;

    const WatermarkTiming timed{2.0, 6.0, 1.0};
    EXPECT_EQ(watermarkVisibility(timed, 1.99), 0.0);
    EXPECT_EQ(watermarkVisibility(timed, 2.0), 0.0);
    EXPECT_DOUBLE_EQ(watermarkVisibility(timed, 2.25), 0.25);
    EXPECT_EQ(watermarkVisibility(timed, 3.0), 1.0);
    EXPECT_EQ(watermarkVisibility(timed, 4.5), 1.0);
    EXPECT_DOUBLE_EQ(watermarkVisibility(timed, 5.5), 0.5);
    EXPECT_EQ(watermarkVisibility(timed, 6.0), 0.0);
    EXPECT_EQ(watermarkVisibility(timed, 7.0), 0.0);

    const WatermarkTiming toTheEnd{1.0, 0.0, 2.0};  // fades in only
    EXPECT_DOUBLE_EQ(watermarkVisibility(toTheEnd, 2.0), 0.5);
    EXPECT_EQ(watermarkVisibility(toTheEnd, 5000.0), 1.0);

    const WatermarkTiming longFade{0.0, 4.0, 10.0};  // shortened to 2 s each way
    EXPECT_DOUBLE_EQ(watermarkVisibility(longFade, 1.0), 0.5);
    EXPECT_EQ(watermarkVisibility(longFade, 2.0), 1.0);
    EXPECT_DOUBLE_EQ(watermarkVisibility(longFade, 3.5), 0.25);

    const WatermarkTiming endBeforeStart{5.0, 3.0, 0.0};
    for (double t : {2.0, 4.0, 6.0}) EXPECT_EQ(watermarkVisibility(endBeforeStart, t), 0.0) << t;
}

// A watermark shown to the end with a fade takes the movie's length as its
// end; a set end, no fade, an unknown length or a start after the movie
// keep the numbers.
TEST(WatermarkTiming, ShownToTheEndItEndsWithTheMovie) {
    EffectSettings s = defaultEffectSettings();
    s.stepperTextFade = 1.0f;
    s.stepperImageEnd = 4.0f;
    s.stepperImageFade = 1.0f;
    const EffectSettings ending = watermarksEndingAt(s, 12.5);
    EXPECT_EQ(ending.stepperTextEnd, 12.5f);
    EXPECT_EQ(ending.stepperImageEnd, 4.0f) << "a set end stays";
    EXPECT_DOUBLE_EQ(watermarkVisibility(textWatermarkTiming(ending), 12.0), 0.5);

    EXPECT_EQ(watermarksEndingAt(s, 0.0).stepperTextEnd, 0.0f) << "length unknown";
    s.stepperTextStart = 20.0f;
    EXPECT_EQ(watermarksEndingAt(s, 12.5).stepperTextEnd, 0.0f) << "starts after the movie";
    s.stepperTextStart = 0.0f;
    s.stepperTextFade = 0.0f;
    EXPECT_EQ(watermarksEndingAt(s, 12.5).stepperTextEnd, 0.0f) << "no fade, nothing to end";
}

// A white picture covering a black frame shows its visibility as grey.
TEST(WatermarkTiming, TheStepsBlendByTheFramesTime) {
    EffectSettings s = defaultEffectSettings();
    s.checkImageWatermark = 1;
    s.stepperImageOpacity = 100;
    s.stepperImageStart = 1;
    s.stepperImageEnd = 3;
    s.stepperImageFade = 0.5;
    const Image frame = test::solid(16, 8, kBlack);
    const Image white = test::solid(16, 8, {255, 255, 255, 255});
    const auto grey = [&](double seconds) { return at(ApplyEffectChain(s, frame, white, seconds), 3, 3)[0]; };
    EXPECT_EQ(ApplyEffectChain(s, frame, white, 0.5), frame);
    EXPECT_NEAR(grey(1.25), 128, 1);
    EXPECT_EQ(grey(2.0), 255);
    EXPECT_NEAR(grey(2.9), 51, 1);
    EXPECT_EQ(ApplyEffectChain(s, frame, white, 3.0), frame);
}

}  // namespace
}  // namespace tintreel
