#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "settings/ControlCatalogue.h"
#include "settings/NamedSetting.h"
#include "settings/PairInput.h"

namespace tintreel {
namespace {

TEST(ControlCatalogue, OutletNamesAreUniqueAndDefaultsLieInTheirRanges) {
    std::set<std::string_view> names;
    for (const ControlRow& control : controlCatalogue()) {
        EXPECT_TRUE(names.insert(control.outlet).second) << control.outlet;
        if (!control.textOutlet.empty()) {
            EXPECT_TRUE(names.insert(control.textOutlet).second) << control.textOutlet;
        }
        if (control.kind == ControlKind::Slider || control.kind == ControlKind::Pair ||
            control.kind == ControlKind::MatrixCell) {
            EXPECT_LE(control.minimum, control.defaultValue) << control.outlet;
            EXPECT_GE(control.maximum, control.defaultValue) << control.outlet;
        }
    }
    for (const GroupRow& group : controlGroups()) {
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
    for (const ControlRow& control : controlCatalogue()) {
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

// Every default stored in the record's first lines is pinned by the committed
// profile of the settings tests; these are the ones it does not hold.
TEST(ControlCatalogue, DefaultsTheStoredProfileDoesNotPin) {
    const EffectSettings s = defaultEffectSettings();
    EXPECT_EQ(s.colorWellTextColor, (RgbColor{1, 1, 1, 1}));
    EXPECT_FALSE(s.textFieldText.empty());
    const std::pair<int, std::string> fonts[] = {
        {0, "American Typewriter"}, {12, "Marker Felt"}, {19, "Verdana"}, {20, ""}, {-1, ""}};
    for (const auto& [index, name] : fonts) EXPECT_EQ(GetTextFontTypeWithFontType(index), name) << index;
}

TEST(ControlCatalogue, MatrixCellText) {
    const std::pair<float, std::string> cells[] = {{0.0004f, "0"},   {-0.0009f, "0"}, {0.001f, "0.00"},
                                                   {-0.5f, "-0.50"}, {1.0f, "1.00"},  {2.345f, "2.35"}};
    for (const auto& [value, text] : cells) EXPECT_EQ(FloatToFormattedString(value), text) << value;
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

// Scale with Video and the timing of both watermarks: off and zero by
// default, stored after the record's extras, reset with their group, switched
// with the interface and settable by name with decimals.
TEST(ControlCatalogue, WatermarkScaleAndTimingControlsBelongToTheirGroups) {
    const std::vector<std::pair<std::string_view, GroupId>> added = {
        {"checkTextScaleWithVideo", GroupId::TextWatermark},
        {"stepperTextStart", GroupId::TextWatermark},
        {"stepperTextEnd", GroupId::TextWatermark},
        {"stepperTextFade", GroupId::TextWatermark},
        {"checkImageScaleWithVideo", GroupId::ImageWatermark},
        {"stepperImageStart", GroupId::ImageWatermark},
        {"stepperImageEnd", GroupId::ImageWatermark},
        {"stepperImageFade", GroupId::ImageWatermark}};
    // The colour table's rows came later still, and keep their own defaults.
    const std::vector<std::string_view> colorTable = {"checkColorTable", "textFieldColorTable",
                                                      "buttonSelectColorTable", "buttonClearColorTable",
                                                      "sliderColorTableStrength"};
    // The sound's rows came last of all, in their own tab.
    const std::vector<std::string_view> sound = {"sliderVolume",       "checkMute",
                                                 "stepperAudioFadeIn", "stepperAudioFadeOut",
                                                 "comboLoudness",      "stepperLoudnessTarget",
                                                 "stepperTruePeak"};
    for (const auto& [names, group] :
         {std::pair(colorTable, GroupId::ColorTable), std::pair(sound, GroupId::Audio)})
        for (std::string_view name : names) {
            const ControlRow* control = findControl(name);
            ASSERT_NE(control, nullptr) << name;
            EXPECT_EQ(control->group, group) << name;
            EXPECT_TRUE(control->afterExtras) << name;
        }
    EXPECT_EQ(findControl("sliderColorTableStrength")->defaultValue, 1.0f);
    EXPECT_EQ(groupSpec(GroupId::Audio).tab, SettingsTab::Audio);
    const std::vector<std::string_view> switched = interfaceSwitchedControls();
    for (const auto& [name, group] : added) {
        const ControlRow* control = findControl(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->group, group) << name;
        EXPECT_TRUE(control->afterExtras) << name;
        EXPECT_EQ(control->defaultValue, 0.0f) << name;
        EXPECT_NE(std::find(switched.begin(), switched.end(), name), switched.end()) << name;
        if (control->kind == ControlKind::Check) continue;
        EXPECT_EQ(control->kind, ControlKind::Pair) << name;
        EXPECT_EQ(control->increment, 0.5f) << name;
        EXPECT_EQ(control->maximum, name.ends_with("Fade") ? 60.0f : 86400.0f) << name;
        EXPECT_NE(std::find(switched.begin(), switched.end(), control->textOutlet), switched.end()) << name;
    }
    // The frame's shape, stored after these, has its lines checked in SettingsRecordTest.
    for (const ControlRow& control : controlCatalogue())
        if (control.afterExtras && control.group != GroupId::Reframe && control.group != GroupId::Flip)
            EXPECT_TRUE(std::find_if(added.begin(), added.end(),
                                     [&](const auto& a) { return a.first == control.outlet; }) !=
                            added.end() ||
                        std::find(colorTable.begin(), colorTable.end(), control.outlet) != colorTable.end() ||
                        std::find(sound.begin(), sound.end(), control.outlet) != sound.end())
                << control.outlet << " is stored after the extras but not one of these";

    EffectSettings s = defaultEffectSettings();
    EXPECT_EQ(s.textFieldTextEnd, "0");
    for (const auto& [name, value] :
         std::vector<std::pair<std::string, std::string>>{{"checkTextScaleWithVideo", "1"},
                                                          {"textFieldTextStart", "2.5"},
                                                          {"stepperTextEnd", "10"},
                                                          {"stepperTextFade", "0.75"},
                                                          {"checkImageScaleWithVideo", "1"},
                                                          {"stepperImageStart", "1"}})
        ASSERT_TRUE(assignNamedSetting(s, name, value)) << name;
    EXPECT_EQ(s.stepperTextStart, 2.5f);
    EXPECT_EQ(s.textFieldTextStart, "2.5");
    EXPECT_EQ(s.stepperTextFade, 0.75f);
    EXPECT_FALSE(assignNamedSetting(s, "stepperTextFade", "61"));
    EXPECT_FALSE(assignNamedSetting(s, "stepperImageStart", "-1"));
    EXPECT_FALSE(groupIsAtDefault(s, GroupId::TextWatermark));
    resetGroup(s, GroupId::TextWatermark);
    EXPECT_TRUE(groupIsAtDefault(s, GroupId::TextWatermark));
    EXPECT_EQ(s.checkTextScaleWithVideo, 0);
    EXPECT_EQ(s.textFieldTextStart, "0");
    EXPECT_EQ(s.checkImageScaleWithVideo, 1) << "the other group keeps its values";
    resetGroup(s, GroupId::ImageWatermark);
    EXPECT_TRUE(s == defaultEffectSettings());
}

}  // namespace
}  // namespace tintreel
