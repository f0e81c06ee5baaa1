// The digest each slice records of its look: any value a render reads
// changes it, what a render ignores does not.
#include <gtest/gtest.h>

#include <functional>

#include "render/LookDigest.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

Image logoOf(std::uint8_t red) {
    Image logo(4, 2);
    logo.pixel(1, 1)[0] = red;
    logo.pixel(1, 1)[3] = 255;
    return logo;
}

// A look with both watermarks and one effect on, and the blur off.
EffectSettings baseLook() {
    EffectSettings settings = defaultEffectSettings();
    settings.checkSepia = 1;
    settings.checkTextWatermark = 1;
    settings.checkImageWatermark = 1;
    settings.textFieldImage = "/worker1/logo.png";
    return settings;
}

TEST(LookDigest, ChangesWithWhatARenderReadsOnly) {
    const std::string base = lookDigest(baseLook(), logoOf(10));
    EXPECT_EQ(base.size(), 32u);
    EXPECT_EQ(lookDigest(baseLook(), logoOf(10)), base) << "the same look, the same digest";

    using Change = std::function<void(EffectSettings&, Image&)>;
    const struct {
        const char* what;
        Change change;
        bool differs;
    } cases[] = {
        {"an adjustment", [](EffectSettings& s, Image&) { s.sliderBrightness = 0.02f; }, true},
        {"an enabled effect's value", [](EffectSettings& s, Image&) { s.sliderSepiaIntensity += 0.001f; },
         true},
        {"an effect switched on", [](EffectSettings& s, Image&) { s.checkBlur = 1; }, true},
        {"the watermark text", [](EffectSettings& s, Image&) { s.textFieldText += "!"; }, true},
        {"the text colour", [](EffectSettings& s, Image&) { s.colorWellTextColor.green += 0.5; }, true},
        {"the font", [](EffectSettings& s, Image&) { s.textFontFamily = "DejaVu Serif"; }, true},
        {"a matrix cell",
         [](EffectSettings& s, Image&) {
             s.check3DTransform = 1;
             s.stepper3DTransform[5] = 2;
         },
         true},
        {"one logo pixel", [](EffectSettings&, Image& logo) { logo.pixel(1, 1)[0] = 11; }, true},
        {"a switched-off effect's value", [](EffectSettings& s, Image&) { s.sliderBlurIntensity += 3; },
         false},
        {"a pair's typed text", [](EffectSettings& s, Image&) { s.textFieldTextFontSize = "typed"; }, false},
        {"the logo's file name", [](EffectSettings& s, Image&) { s.textFieldImage = "/worker2/logo.png"; },
         false},
    };
    for (const auto& [what, change, differs] : cases) {
        EffectSettings settings = baseLook();
        Image logo = logoOf(10);
        change(settings, logo);
        EXPECT_EQ(lookDigest(settings, logo) != base, differs) << what;
    }

    // Without the image watermark its picture makes no picture.
    EffectSettings noLogo = baseLook();
    noLogo.checkImageWatermark = 0;
    EXPECT_EQ(lookDigest(noLogo, logoOf(10)), lookDigest(noLogo, logoOf(99)));
    EXPECT_NE(lookDigest(noLogo, logoOf(10)), base);
}

}  // namespace
}  // namespace tintreel
