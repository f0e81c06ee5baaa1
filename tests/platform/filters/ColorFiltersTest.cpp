// Colour filters on one-pixel pictures whose results are worked out by hand
// (tolerance: one level, for rounding) and, per channel, on every level
// against their definition; and the settings at which any filter must reproduce its input
// exactly.
#include <cmath>
#include <functional>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "platform/filters/AlphaBlendFilter.h"
#include "platform/filters/BlurFilters.h"
#include "platform/filters/ColorFilters.h"
#include "platform/filters/DistortionFilters.h"
#include "platform/filters/PixelMath.h"
#include "platform/filters/StylizeFilters.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {

using test::at;
using test::near;
using test::Rgba;
using test::solid;

using Apply = std::function<Image(const Image&)>;

// A filter of type F set up by `set`, as a function of its input.
template <typename F>
Apply with(std::function<void(F&)> set) {
    return [set](const Image& input) {
        F filter;
        set(filter);
        return filter.apply(input);
    };
}

template <typename Filter>
Rgba applyTo(const Filter& f, Rgba c) {
    return at(f.apply(solid(1, 1, c)), 0, 0);
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
    using Curve = std::function<double(double)>;
    Image levels(256, 1);
    for (int i = 0; i < 256; ++i) test::setPixel(levels, i, 0, {i, 255 - i, (i * 7) & 255, i});
    const auto expectEveryLevel = [&](const Apply& filter, std::array<Curve, 3> curves, const char* what) {
        const Image out = filter(levels);
        for (int i = 0; i < 256; ++i) {
            Rgba expected = at(levels, i, 0);
            for (int c = 0; c < 3; ++c)
                expected[c] = unitToByte(static_cast<float>(curves[c](expected[c] / 255.0)));
            ASSERT_EQ(at(out, i, 0), expected) << what << " at level " << i;
        }
    };
    for (const double b : {-0.37, 0.1, 0.73}) {
        const Curve def = [b](double v) { return v + b; };
        // A value that is not a number is ignored.
        expectEveryLevel(with<BrightnessFilter>([b](auto& f) { f.setBrightness(b), f.setBrightness(NAN); }),
                         {def, def, def}, "brightness");
    }
    for (const double c : {0.0, 0.35, 1.2, 4.0}) {
        const Curve def = [c](double v) { return (v - 0.5) * c + 0.5; };
        expectEveryLevel(with<ContrastFilter>([c](auto& f) { f.setContrast(c); }), {def, def, def},
                         "contrast");
    }
    // 1e6 overflows the gain to infinity: whites saturate, black stays black.
    for (const double e : {-3.0, 0.5, 1e6}) {
        const Curve def = [gain = std::exp2(e)](double v) { return v * gain; };
        expectEveryLevel(with<ExposureFilter>([e](auto& f) { f.setExposure(e); }), {def, def, def},
                         "exposure");
    }
    for (const double g : {0.4, 2.2}) {
        const Curve def = [g](double v) { return std::pow(v, g); };
        expectEveryLevel(with<GammaFilter>([g](auto& f) { f.setGamma(g); }), {def, def, def}, "gamma");
    }
    expectEveryLevel(with<RGBFilter>([](auto& f) { f.setRed(0.5), f.setGreen(1.1), f.setBlue(1.9); }),
                     {[](double v) { return v * 0.5; }, [](double v) { return v * 1.1; },
                      [](double v) { return v * 1.9; }},
                     "rgb");
}

// The per-pixel kernels work on runs of eight pixels and finish a row with a
// shorter run: a pixel must come out the same in either, at any place in a
// row, and keep its alpha (noise alpha, from transparent to opaque).
TEST(ColorFilters, EachPixelGivesTheSameBytesWhereverItSitsInARow) {
    const Image row = test::noise(37, 1, 5);
    const std::vector<std::pair<const char*, Apply>> filters = {
        {"brightness", with<BrightnessFilter>([](auto& f) { f.setBrightness(0.2); })},
        {"contrast", with<ContrastFilter>([](auto& f) { f.setContrast(1.7); })},
        {"rgb", with<RGBFilter>([](auto& f) { f.setRed(0.4), f.setGreen(1.3), f.setBlue(2.0); })},
        {"sepia", with<SepiaFilter>([](auto& f) { f.setIntensity(0.6); })},
        {"saturation", with<SaturationFilter>([](auto& f) { f.setSaturation(1.6); })},
    };
    for (const auto& [name, filter] : filters) {
        const Image whole = filter(row);
        for (int x = 0; x < row.width(); ++x) {
            const Rgba alone = at(filter(solid(1, 1, at(row, x, 0))), 0, 0);
            ASSERT_EQ(at(whole, x, 0), alone) << name << " at column " << x;
            ASSERT_EQ(alone[3], at(row, x, 0)[3]) << name << " alpha at column " << x;
        }
    }
}

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

// Besides filters not yet set: the chain passes over adjustments at exactly
// neutral values, so values a hair away from neutral run the kernels, which
// must then reproduce every byte; and sizes of nothing change nothing.
TEST(Filters, NeutralSettingsLeaveThePictureUnchanged) {
    const Image input = test::noise(37, 23);
    expectEachUnchangedUntilSet<BrightnessFilter, ExposureFilter, ContrastFilter, SaturationFilter,
                                GammaFilter, HueFilter, RGBFilter, SepiaFilter, GaussianBlurFilter,
                                GaussianSelectiveBlurFilter, MotionBlurFilter, ZoomBlurFilter, KuwaharaFilter,
                                PixellateFilter, TransformFilter, SwirlFilter>(input);
    EXPECT_EQ(AlphaBlendFilter().apply(input, test::noise(37, 23)), input);
    const std::pair<const char*, Apply> cases[] = {
        {"brightness", with<BrightnessFilter>([](auto& f) { f.setBrightness(1e-9); })},
        {"exposure", with<ExposureFilter>([](auto& f) { f.setExposure(1e-9); })},
        {"contrast", with<ContrastFilter>([](auto& f) { f.setContrast(1.0 + 1e-9); })},
        {"saturation", with<SaturationFilter>([](auto& f) { f.setSaturation(1.0 + 1e-9); })},
        {"gamma", with<GammaFilter>([](auto& f) { f.setGamma(1.0 + 1e-9); })},
        {"hue", with<HueFilter>([](auto& f) { f.setHue(1e-9); })},
        {"rgb", with<RGBFilter>([](auto& f) { f.setGreen(1.0 + 1e-9); })},
        {"sepia", with<SepiaFilter>([](auto& f) { f.setIntensity(1e-9); })},
        {"blur radius 0", with<GaussianBlurFilter>([](auto& f) { f.setBlurRadiusInPixels(0.0); })},
        {"blur radius below 0", with<GaussianBlurFilter>([](auto& f) { f.setBlurRadiusInPixels(-3.0); })},
        {"circle blur of size 0",
         with<GaussianBlurPositionFilter>([](auto& f) { f.setBlurRadius(0.2), f.setBlurSize(0.0); })},
        {"zoom blur back to 0",
         with<ZoomBlurFilter>([](auto& f) { f.setBlurSize(5.0), f.setBlurSize(0.0); })},
        {"Kuwahara radius back to 0", with<KuwaharaFilter>([](auto& f) { f.setRadius(3), f.setRadius(0); })},
        {"pixellate cells of one pixel", with<PixellateFilter>([](auto& f) {
             f.setFractionalWidthOfAPixel(0.5), f.setFractionalWidthOfAPixel(0.0);
         })},
        {"swirl by no angle", with<SwirlFilter>([](auto& f) { f.setRadius(0.3), f.setAngle(0.0); })},
        {"swirl in no radius", with<SwirlFilter>([](auto& f) { f.setAngle(1.0), f.setRadius(0.0); })},
        {"identity transform",
         with<TransformFilter>([](auto& f) { f.setTransform3D(Transform3D::identity()); })},
    };
    for (const auto& [what, filter] : cases) EXPECT_EQ(filter(input), input) << what;
}

}  // namespace
}  // namespace tintreel
