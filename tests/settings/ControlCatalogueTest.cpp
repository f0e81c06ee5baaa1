#include <gtest/gtest.h>

#include <set>
#include <string>

#include "settings/ControlCatalogue.h"
#include "settings/PairInput.h"

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

// Whatever is typed into a pair's field settles on a value its stepper can
// hold (so the stepper never moves it again), and the text the field is left
// showing reads back as that value unchanged; the default does too.
TEST(ControlCatalogue, EveryPairSettlesOnAValueItsStepperHoldsAndItsFieldShows) {
    int pairs = 0;
    for (const ControlSpec& control : controlCatalogue()) {
        if (control.kind != ControlKind::Pair) continue;
        ++pairs;
        for (std::string_view typed :
             {"", "abc", "-1", "0", "7", "12.5", " 50%", "-99999", "99999", "1e30", "-1e30", "nan", "0x40"}) {
            const PairEdit edit = editPair(control, typed);
            EXPECT_GE(edit.value, control.minimum) << control.outlet << " typed \"" << typed << '"';
            EXPECT_LE(edit.value, control.maximum) << control.outlet << " typed \"" << typed << '"';
            const std::string shown = edit.replacementText.value_or(std::string(typed));
            const PairEdit again = editPair(control, shown);
            EXPECT_EQ(again.value, edit.value) << control.outlet << " shows \"" << shown << '"';
            EXPECT_FALSE(again.replacementText.has_value()) << control.outlet << " shows \"" << shown << '"';
        }
        const PairEdit atDefault = editPair(control, pairText(control, control.defaultValue));
        EXPECT_EQ(atDefault.value, control.defaultValue) << control.outlet;
        EXPECT_FALSE(atDefault.replacementText.has_value()) << control.outlet;
    }
    EXPECT_GT(pairs, 0);
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

}  // namespace
}  // namespace tintreel
