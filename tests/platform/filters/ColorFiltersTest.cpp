// Colour filters on one-pixel pictures whose results are worked out by hand
// (tolerance: one level, for rounding), and near-neutral values that must
// reproduce the input exactly.
#include "support/TestImages.h"
#include "platform/filters/ColorFilters.h"
#include "platform/filters/PixelMath.h"

#include <cmath>

namespace tintreel {
namespace {

using test::at;
using test::near;
using test::Rgba;
using test::solid;

template <typename Filter>
Rgba applyTo(const Filter& f, Rgba c) {
    return at(f.apply(solid(1, 1, c)), 0, 0);
}

TEST(ColorFilters, PerChannelAdjustmentsGiveHandComputedPixels) {
    BrightnessFilter brightness;
    brightness.setBrightness(0.2);  // 100/255 + 0.2 = 0.592 -> 151
    EXPECT_TRUE(near(applyTo(brightness, {100, 150, 200, 77}), {151, 201, 251, 77}, 1));

    ExposureFilter exposure;
    exposure.setExposure(1.0);  // doubled, clamped
    EXPECT_TRUE(near(applyTo(exposure, {100, 150, 200, 9}), {200, 255, 255, 9}, 1));

    ContrastFilter contrast;
    contrast.setContrast(3.0);  // 3v - 255 in levels
    EXPECT_TRUE(near(applyTo(contrast, {100, 128, 200, 255}), {45, 129, 255, 255}, 1));

    GammaFilter gamma;
    gamma.setGamma(2.0);  // (128/255)^2 * 255 = 64.25
    EXPECT_TRUE(near(applyTo(gamma, {0, 128, 255, 1}), {0, 64, 255, 1}, 1));

    RGBFilter rgb;
    rgb.setRed(0.5);
    rgb.setBlue(2.0);
    EXPECT_TRUE(near(applyTo(rgb, {100, 150, 100, 3}), {50, 150, 200, 3}, 1));
}

TEST(ColorFilters, LumaBasedFiltersGiveHandComputedPixels) {
    // luma of (100, 150, 200) = 21.25 + 107.31 + 14.42 = 142.98
    EXPECT_TRUE(near(applyTo(GrayscaleFilter(), {100, 150, 200, 40}), {143, 143, 143, 40}, 1));

    SaturationFilter saturation;
    saturation.setSaturation(0.0);
    EXPECT_TRUE(near(applyTo(saturation, {100, 150, 200, 40}), {143, 143, 143, 40}, 1));
    saturation.setSaturation(2.0);  // 2 rgb - luma
    EXPECT_TRUE(near(applyTo(saturation, {100, 150, 200, 40}), {57, 157, 255, 40}, 1));

    SepiaFilter sepia;
    EXPECT_TRUE(sepia.isIdentity());  // no look of its own until set
    sepia.setIntensity(1.0);  // the standard sepia matrix at full intensity
    EXPECT_TRUE(near(applyTo(sepia, {100, 150, 200, 255}), {192, 171, 134, 255}, 1));
    sepia.setIntensity(0.5);  // half way between the colour and its tone
    EXPECT_TRUE(near(applyTo(sepia, {100, 150, 200, 255}), {146, 161, 167, 255}, 1));
}

TEST(ColorFilters, HueTurnKeepsLumaAndGreys) {
    HueFilter hue;
    hue.setHue(120.0);
    EXPECT_TRUE(near(applyTo(hue, {120, 120, 120, 255}), {120, 120, 120, 255}, 1));
    const Rgba red = applyTo(hue, {150, 90, 90, 255});  // mild, so that no channel clips
    EXPECT_GT(red[1], red[0]);                          // a third of a turn moves red toward green
    const double lumaBefore = 0.299 * 150 + 0.587 * 90 + 0.114 * 90;
    const double lumaAfter = 0.299 * red[0] + 0.587 * red[1] + 0.114 * red[2];
    EXPECT_NEAR(lumaAfter, lumaBefore, 1.5);
    hue.setHue(360.0);
    EXPECT_TRUE(near(applyTo(hue, {200, 40, 90, 255}), {200, 40, 90, 255}, 1));
}

// Every level through each per-channel filter, against the definition
// evaluated level by level (in double, rounded as the filters round): the
// integer line the filters use where a table is straight must give the same
// bytes, including where the result clamps.
TEST(ColorFilters, PerChannelFiltersMatchTheirDefinitionOnEveryLevel) {
    Image levels(256, 1);
    for (int i = 0; i < 256; ++i) test::setPixel(levels, i, 0, {i, 255 - i, (i * 7) & 255, i});
    auto expectEveryLevel = [&](const Image& out, auto red, auto green, auto blue, const char* what) {
        for (int i = 0; i < 256; ++i) {
            const Rgba in = at(levels, i, 0);
            auto byte = [](double v) { return static_cast<int>(unitToByte(static_cast<float>(v))); };
            const Rgba expected{byte(red(in[0] / 255.0)), byte(green(in[1] / 255.0)), byte(blue(in[2] / 255.0)),
                                in[3]};
            ASSERT_EQ(at(out, i, 0), expected) << what << " at level " << i;
        }
    };
    for (const double b : {-0.37, 0.1, 0.73}) {
        BrightnessFilter f;
        f.setBrightness(b);
        const auto def = [b](double v) { return v + b; };
        expectEveryLevel(f.apply(levels), def, def, def, "brightness");
    }
    for (const double c : {0.0, 0.35, 1.2, 4.0}) {
        ContrastFilter f;
        f.setContrast(c);
        const auto def = [c](double v) { return (v - 0.5) * c + 0.5; };
        expectEveryLevel(f.apply(levels), def, def, def, "contrast");
    }
    for (const double e : {-3.0, 0.5, 1e6}) {
        ExposureFilter f;
        f.setExposure(e);
        const auto def = [gain = std::exp2(e)](double v) { return v * gain; };
        expectEveryLevel(f.apply(levels), def, def, def, "exposure");
    }
    for (const double g : {0.4, 2.2}) {
        GammaFilter f;
        f.setGamma(g);
        const auto def = [g](double v) { return std::pow(v, g); };
        expectEveryLevel(f.apply(levels), def, def, def, "gamma");
    }
    RGBFilter rgb;
    rgb.setRed(0.5), rgb.setGreen(1.1), rgb.setBlue(1.9);
    expectEveryLevel(
        rgb.apply(levels), [](double v) { return v * 0.5; }, [](double v) { return v * 1.1; },
        [](double v) { return v * 1.9; }, "rgb");
}

// The chain passes over adjustments at exactly neutral values; values a hair
// away from neutral run the kernels, which must then reproduce every byte.
TEST(ColorFilters, NearNeutralValuesReproduceThePictureExactly) {
    const Image input = test::noise(37, 11);
    BrightnessFilter b;
    b.setBrightness(1e-9);
    ExposureFilter e;
    e.setExposure(1e-9);
    ContrastFilter c;
    c.setContrast(1.0 + 1e-9);
    SaturationFilter s;
    s.setSaturation(1.0 + 1e-9);
    GammaFilter g;
    g.setGamma(1.0 + 1e-9);
    HueFilter h;
    h.setHue(1e-9);
    RGBFilter rgb;
    rgb.setGreen(1.0 + 1e-9);
    SepiaFilter sepia;
    sepia.setIntensity(1e-9);
    EXPECT_EQ(b.apply(input), input);
    EXPECT_EQ(e.apply(input), input);
    EXPECT_EQ(c.apply(input), input);
    EXPECT_EQ(s.apply(input), input);
    EXPECT_EQ(g.apply(input), input);
    EXPECT_EQ(h.apply(input), input);
    EXPECT_EQ(rgb.apply(input), input);
    EXPECT_EQ(sepia.apply(input), input);
}

TEST(ColorFilters, NonFiniteParametersAreIgnored) {
    BrightnessFilter b;
    b.setBrightness(0.2);
    b.setBrightness(std::nan(""));
    EXPECT_TRUE(near(applyTo(b, {100, 150, 200, 77}), {151, 201, 251, 77}, 1));
    ExposureFilter e;
    e.setExposure(1e6);  // overflows to infinity: whites saturate, black stays black
    EXPECT_TRUE(near(applyTo(e, {0, 1, 255, 5}), {0, 255, 255, 5}, 0));
}

}  // namespace
}  // namespace tintreel
