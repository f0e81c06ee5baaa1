#include <gtest/gtest.h>

#include <set>
#include <string>

#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

TEST(ControlCatalogue, OutletNamesAreUniqueAndDefaultsLieInTheirRanges) {
    std::set<std::string_view> names;
    for (const ControlSpec& control : controlCatalogue()) {
        EXPECT_TRUE(names.insert(control.outlet).second) << control.outlet;
        if (!control.textOutlet.empty()) {
            EXPECT_TRUE(names.insert(control.textOutlet).second) << control.textOutlet;
        }
        if (control.kind == ControlKind::Slider || control.kind == ControlKind::Pair || control.kind == ControlKind::MatrixCell) {
            EXPECT_LE(control.minimum, control.defaultValue) << control.outlet;
            EXPECT_GE(control.maximum, control.defaultValue) << control.outlet;
        }
    }
    for (const GroupSpec& group : controlGroups()) {
        if (!group.checkOutlet.empty()) {
            EXPECT_NE(findControl(group.checkOutlet), nullptr) << group.caption;
        }
        EXPECT_EQ(&groupSpec(group.id), &group);
    }
}

TEST(ControlCatalogue, FixedRangesAndPairRules) {
    EXPECT_EQ(findControl("sliderVignetteRadius")->minimum, -0.25f);
    EXPECT_EQ(findControl("sliderVignetteRadius")->maximum, 0.25f);
    EXPECT_EQ(findControl("sliderPixellatePixelSize")->maximum, 0.2f);
    EXPECT_EQ(findControl("sliderHalftoneDotSize")->maximum, 0.2f);
    EXPECT_EQ(findControl("stepper3DTransformM43")->increment, 0.01f);

    const PairRule opacity = findControl("textFieldTextOpacity")->rule;
    EXPECT_EQ(opacity.lowerBound, 0.0f);
    EXPECT_EQ(opacity.lowerWritten, 1.0f);
    EXPECT_EQ(opacity.invalidValue, 1.0f);
    const PairRule scale = findControl("stepperScale")->rule;
    EXPECT_FALSE(scale.invalidValue.has_value());
    EXPECT_FALSE(scale.comparesWithRecord);
    EXPECT_EQ(scale.upperBound, 999.0f);
    EXPECT_EQ(findControl("stepperImageScale")->rule.upperBound, 1000.0f);
}

TEST(ControlCatalogue, DefaultsMatchTheEditorsStartingState) {
    const EffectSettings s = defaultEffectSettings();
    EXPECT_EQ(s.sliderContrast, 1.0f);
    EXPECT_EQ(s.sliderGlassSphereRefraction, 0.71f);
    EXPECT_EQ(s.comboTextFontType, 12);
    EXPECT_EQ(GetTextFontTypeWithFontType(s.comboTextFontType), "Marker Felt");
    EXPECT_EQ(s.comboTextPosition, 0);
    EXPECT_EQ(s.comboImagePosition, 1);
    EXPECT_EQ(s.colorWellTextColor, (RgbColor{1, 1, 1, 1}));
    EXPECT_EQ(s.textFieldScale, "100");
    EXPECT_EQ(s.textFieldTextOpacity, "70");
    EXPECT_EQ(s.textField3DTransform[0], "1.00");
    EXPECT_EQ(s.textField3DTransform[1], "0");
    EXPECT_EQ(s.stepper3DTransform[15], 1.0f);
    EXPECT_EQ(s.stepper3DTransform[14], 0.0f);
    EXPECT_FALSE(s.textFieldText.empty());
}

TEST(ControlCatalogue, FontNamesByIndex) {
    EXPECT_EQ(GetTextFontTypeWithFontType(0), "American Typewriter");
    EXPECT_EQ(GetTextFontTypeWithFontType(19), "Verdana");
    EXPECT_EQ(GetTextFontTypeWithFontType(20), "");
    EXPECT_EQ(GetTextFontTypeWithFontType(-1), "");
}

TEST(ControlCatalogue, MatrixCellText) {
    EXPECT_EQ(FloatToFormattedString(0.0004f), "0");
    EXPECT_EQ(FloatToFormattedString(-0.0009f), "0");
    EXPECT_EQ(FloatToFormattedString(0.001f), "0.00");
    EXPECT_EQ(FloatToFormattedString(-0.5f), "-0.50");
    EXPECT_EQ(FloatToFormattedString(1.0f), "1.00");
    EXPECT_EQ(FloatToFormattedString(2.345f), "2.35");
}

TEST(ControlCatalogue, GroupResetsTouchOnlyTheirGroupAndNeverTheCheckBox) {
    EffectSettings s = defaultEffectSettings();
    s.checkBlur = 1;
    s.sliderBlurIntensity = 9;
    s.sliderSepiaIntensity = 0.3f;
    EXPECT_FALSE(groupIsAtDefault(s, GroupId::Blur));
    resetGroup(s, GroupId::Blur);
    EXPECT_EQ(s.sliderBlurIntensity, 3.0f);
    EXPECT_EQ(s.checkBlur, 1);
    EXPECT_EQ(s.sliderSepiaIntensity, 0.3f);
    EXPECT_TRUE(groupIsAtDefault(s, GroupId::Blur));

    s.checkTextWatermark = 1;
    s.textFieldText = "mine";
    s.comboTextFontType = 3;
    s.stepperTextXOffset = 40;
    s.textFieldTextXOffset = "40";
    resetGroup(s, GroupId::TextWatermark);
    EXPECT_EQ(s.checkTextWatermark, 1);
    EXPECT_EQ(s.textFieldText, defaultEffectSettings().textFieldText);
    EXPECT_EQ(s.comboTextFontType, 12);
    EXPECT_EQ(s.textFieldTextXOffset, "0");
}

TEST(ControlCatalogue, InterfaceSwitchOrderHasTheWorkingControlsInOrder) {
    const auto order = interfaceSwitchOrder();
    ASSERT_EQ(order.size(), 118u);
    EXPECT_EQ(order.front(), "buttonZoomIn");
    EXPECT_EQ(order[5], "stepperBrowseFrames");
    EXPECT_EQ(order[6], "sliderBrightness");
    const auto at = [&](std::string_view name) {
        return std::find(order.begin(), order.end(), name) - order.begin();
    };
    // Scale and rotate resets follow the rotate angle; the matrix follows them.
    EXPECT_EQ(at("textFieldScale") + 1, at("stepperScale"));
    EXPECT_EQ(at("sliderRotateAngle") + 1, at("buttonResetScale"));
    EXPECT_EQ(at("buttonResetScale") + 1, at("buttonResetRotate"));
    EXPECT_EQ(at("buttonResetRotate") + 1, at("check3DTransform"));
    EXPECT_EQ(at("check3DTransform") + 16, at("stepper3DTransformM44"));
    EXPECT_EQ(at("textFieldImage") + 1, at("buttonSelectImage"));
    EXPECT_EQ(at("stepperImageYOffset") + 1, at("buttonResetAdjustments"));
    EXPECT_EQ(order.back(), "buttonResetImageWatermark");
    // Never switched: the preview button and the display-only matrix fields.
    EXPECT_EQ(at("buttonGeneratePreview"), static_cast<long>(order.size()));
    EXPECT_EQ(at("textField3DTransformM11"), static_cast<long>(order.size()));
    EXPECT_EQ(std::set<std::string_view>(order.begin(), order.end()).size(), order.size());
}

}  // namespace
}  // namespace tintreel
