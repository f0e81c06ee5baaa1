#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>

#include "settings/ControlCatalogue.h"
#include "settings/NamedSetting.h"
#include "settings/SettingsRecord.h"

namespace tintreel {
namespace {

TEST(SettingsRecord, FloatAndDoubleRenderings) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, std::string> floats[] = {
        {0.0f, "0.0"},     {1.0f, "1.0"},    {0.02f, "0.02"}, {-0.25f, "-0.25"},
        {100.0f, "100.0"}, {1e-5f, "1e-05"}, {1e6f, "1e+06"}, {999999.0f, "999999.0"},
        {0.71f, "0.71"},   {inf, "inf"},     {-inf, "-inf"}};
    for (const auto& [value, text] : floats) EXPECT_EQ(formatRecordFloat(value), text);
    const std::string nan = formatRecordFloat(std::numeric_limits<float>::quiet_NaN());
    EXPECT_NE(nan.find("nan"), std::string::npos);
    EXPECT_EQ(nan.find(".0"), std::string::npos);
    const std::pair<double, std::string> doubles[] = {
        {1.0, "1.0"}, {0.0, "0.0"}, {0.1, "0.1"}, {1.0 / 3.0, "0.333333333333333"}};
    for (const auto& [value, text] : doubles) EXPECT_EQ(formatRecordDouble(value), text);
}

// The text of the first 110 lines is pinned by the committed profile (see
// AProfileOfTheEarlierLayoutLoadsUnchanged); these are the lines after it.
TEST(SettingsRecord, DefaultRecordEndsWithEmptyExtrasAndTheLaterControlsOff) {
    const std::string record = renderSettingsRecord(defaultEffectSettings());
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(record.back(), '\n');
    const auto lines = splitRecordLines(record);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(settingsRecordLineCount()));
    EXPECT_EQ(lines[110], "") << "no logo";
    EXPECT_EQ(lines[111], "") << "no family named outside the font list";
    const std::size_t after = kSettingsRecordControlLines + recordExtrasLineCount();
    ASSERT_EQ(lines.size(), after + 14 + 13 + 3 + 11);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + after, lines.begin() + after + 7),
              (std::vector<std::string>{"0", "0.0", "0", "0.0", "0", "0.0", "0"}));
    // The frame's shape: original aspect, custom 16:9, crop to fill about the
    // middle, black bars, no mirroring.
    EXPECT_EQ(std::vector<std::string>(lines.begin() + after + 14, lines.begin() + after + 27),
              (std::vector<std::string>{"0", "16.0", "16", "9.0", "9", "0", "0.5", "0.5", "0.0", "0.0", "0.0",
                                        "0", "0"}));
    // The colour table: off, no file, full strength.
    EXPECT_EQ(std::vector<std::string>(lines.begin() + after + 27, lines.begin() + after + 30),
              (std::vector<std::string>{"0", "", "1.0"}));
    // The sound last: its own volume, no mute, no fades, loudness left alone
    // (a custom target of -14 LUFS ready), a ceiling of -1 dBTP.
    EXPECT_EQ(
        std::vector<std::string>(lines.begin() + after + 30, lines.end()),
        (std::vector<std::string>{"0.0", "0", "0.0", "0", "0.0", "0", "0", "-14.0", "-14", "-1.0", "-1"}));
}

TEST(SettingsRecord, LineNumbersOfTheComparedFields) {
    const int after = kSettingsRecordControlLines + recordExtrasLineCount();
    const std::pair<std::string_view, int> lines[] = {{"textFieldText", 83},
                                                      {"textFieldTextFontSize", 89},
                                                      {"textFieldTextOpacity", 91},
                                                      {"textFieldTextXOffset", 96},
                                                      {"textFieldTextYOffset", 98},
                                                      {"textFieldImageScale", 102},
                                                      {"textFieldImageOpacity", 104},
                                                      {"textFieldImageXOffset", 107},
                                                      {"textFieldImageYOffset", 109},
                                                      {"stepper3DTransformM44", 74},
                                                      {"checkTextScaleWithVideo", after},
                                                      {"textFieldTextStart", after + 2},
                                                      {"textFieldTextFade", after + 6},
                                                      {"checkImageScaleWithVideo", after + 7},
                                                      {"textFieldImageFade", after + 13},
                                                      // The frame's shape follows every earlier
                                                      // line, the reframe first, then the flips,
                                                      // then the colour table.
                                                      {"comboReframeAspect", after + 14},
                                                      {"stepperReframeWidth", after + 15},
                                                      {"textFieldReframeWidth", after + 16},
                                                      {"stepperReframeHeight", after + 17},
                                                      {"textFieldReframeHeight", after + 18},
                                                      {"comboReframeFill", after + 19},
                                                      {"sliderReframeFocusX", after + 20},
                                                      {"sliderReframeFocusY", after + 21},
                                                      {"colorWellReframeBars", after + 22},
                                                      {"checkFlipHorizontal", after + 25},
                                                      {"checkFlipVertical", after + 26},
                                                      {"checkColorTable", after + 27}};
    for (const auto& [outlet, line] : lines) EXPECT_EQ(settingsRecordLine(outlet), line) << outlet;
    // The window shows the shape with the transforms, though the record keeps it last.
    EXPECT_EQ(groupSpec(findControl("comboReframeAspect")->group).tab, SettingsTab::Transform);
    EXPECT_EQ(groupSpec(findControl("checkFlipVertical")->group).tab, SettingsTab::Transform);
    EXPECT_FALSE(settingsRecordLine("buttonSelectImage").has_value());
    EXPECT_FALSE(settingsRecordLine("noSuchControl").has_value());
}

EffectSettings everyValueChanged() {
    EffectSettings s = defaultEffectSettings();
    for (const ControlRow& control : controlCatalogue()) {
        switch (control.kind) {
            case ControlKind::Slider:
            case ControlKind::Pair:
            case ControlKind::MatrixCell: {
                // Six significant digits are what a record keeps of a number.
                const float v = std::stof(
                    formatRecordFloat(control.minimum + (control.maximum - control.minimum) * 0.37f));
                control.number.of(s) = v;
                if (control.kind != ControlKind::Slider) control.text.of(s) = pairText(control, v);
                break;
            }
            case ControlKind::Check:
                s.*control.state = 1;
                break;
            case ControlKind::PopUp:
                s.*control.state = static_cast<int>(control.maximum);
                break;
            case ControlKind::FontPopUp:
                s.*control.state = static_cast<int>(control.maximum);
                control.text.of(s) = "Family \u00E9 Not Listed";
                break;
            case ControlKind::Text:
                control.text.of(s) = "changed \u00E9 " + std::string(control.outlet);
                break;
            case ControlKind::ColorWell:
                s.*control.color = {0.25, 0.123456789012345, 0.5, 1.0};
                break;
            case ControlKind::Button:
                break;
        }
    }
    return s;
}

TEST(SettingsRecord, ParsingARenderedRecordGivesTheSameSettings) {
    for (const EffectSettings& original : {defaultEffectSettings(), everyValueChanged()}) {
        const RecordParseResult parsed =
            parseSettingsRecord(renderSettingsRecord(original), EffectSettings{});
        EXPECT_TRUE(parsed.problems.empty()) << parsed.problems.front();
        EXPECT_EQ(renderSettingsRecord(parsed.settings), renderSettingsRecord(original));
        EXPECT_TRUE(parsed.settings == original);
    }
    // A value with more digits than a record keeps comes back to six significant digits.
    EffectSettings s = defaultEffectSettings();
    s.sliderBrightness = 0.123456789f;
    const RecordParseResult parsed = parseSettingsRecord(renderSettingsRecord(s), EffectSettings{});
    EXPECT_NEAR(parsed.settings.sliderBrightness, s.sliderBrightness, 1e-6);
    EXPECT_EQ(renderSettingsRecord(parsed.settings), renderSettingsRecord(s));
}

TEST(SettingsRecord, DamagedRecordsKeepTheBaseAndStayInRange) {
    EffectSettings base = defaultEffectSettings();
    base.sliderCartoonBlur = 7;
    auto lines = splitRecordLines(renderSettingsRecord(defaultEffectSettings()));
    lines[13] = "seven";  // sliderCartoonBlur: not a number
    lines[19] = "3.5";    // sliderVignetteRadius: out of range
    lines[87] = "42";     // comboTextFontType: no such font
    lines[88] = "600";    // stepperTextFontSize: clamps to 500, text follows
    lines[9] = "nan";     // checkBlackWhite: not an integer
    lines.resize(100);    // the image watermark lines are missing
    std::string record;
    for (const auto& line : lines) record += line + "\n";

    const RecordParseResult parsed = parseSettingsRecord(record, base);
    EXPECT_EQ(parsed.settings.sliderCartoonBlur, 7.0f);
    EXPECT_EQ(parsed.settings.sliderVignetteRadius, 0.25f);
    EXPECT_EQ(parsed.settings.comboTextFontType, 12);
    EXPECT_EQ(parsed.settings.stepperTextFontSize, 500.0f);
    EXPECT_EQ(parsed.settings.textFieldTextFontSize, "500");
    EXPECT_EQ(parsed.settings.checkBlackWhite, 0);
    EXPECT_EQ(parsed.settings.comboImagePosition, base.comboImagePosition);
    EXPECT_EQ(parsed.problems.size(), 6u);

    const RecordParseResult empty = parseSettingsRecord("", base);
    EXPECT_TRUE(empty.settings == base);
    EXPECT_EQ(empty.problems.size(), 1u);
}

// A profile written before the record had its logo line, committed as that
// release wrote it: it loads without a problem, every value as saved, and
// no logo.
TEST(SettingsRecord, AProfileOfTheEarlierLayoutLoadsUnchanged) {
    std::ifstream file(std::string(TINTREEL_SETTINGS_FIXTURES) + "/profile-without-logo.tintreel",
                       std::ios::binary);
    ASSERT_TRUE(file);
    const std::string old{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_EQ(splitRecordLines(old).size(), static_cast<std::size_t>(kSettingsRecordControlLines));

    const RecordParseResult parsed = parseSettingsRecord(old, everyValueChanged());
    EXPECT_TRUE(parsed.problems.empty()) << parsed.problems.front();
    EXPECT_EQ(parsed.extras, RecordExtras{});
    EffectSettings expected = defaultEffectSettings();
    for (const auto& [name, value] :
         std::vector<std::pair<std::string, std::string>>{{"checkSepia", "1"},
                                                          {"sliderSepiaIntensity", "0.8"},
                                                          {"checkVignette", "1"},
                                                          {"checkTextWatermark", "1"},
                                                          {"textFieldText", "Old profile"},
                                                          {"colorWellTextColor", "#ffcc00"},
                                                          {"sliderBrightness", "0.1"}})
        ASSERT_TRUE(assignNamedSetting(expected, name, value)) << name;
    EXPECT_TRUE(parsed.settings == expected);
    // Saved again, it begins with the same record and an empty logo line:
    // what a reader of that layout reads is unchanged.
    EXPECT_EQ(renderSettingsRecord(parsed.settings).rfind(old + "\n", 0), 0u);
}

std::string firstLines(const std::string& record, int count) {
    std::string text;
    const std::vector<std::string> lines = splitRecordLines(record);
    for (int i = 0; i < count; ++i) text += lines.at(i) + "\n";
    return text;
}

// Lines are only ever appended. A record of each earlier layout (ending
// after the extras, the watermarks' scale and timing, the frame's shape or
// the colour table) loads with no problem and the later controls at their
// defaults, whatever the editor held; and the first lines of a record of
// this layout are what that layout wrote for the same look, so its readers
// read what they always did.
TEST(SettingsRecord, RecordsOfEveryEarlierLayoutReadBothWays) {
    const EffectSettings look = everyValueChanged();
    const RecordExtras extras{"/logos/mark.png"};
    const std::string record = renderSettingsRecord(look, extras);
    const int known = kSettingsRecordControlLines + recordExtrasLineCount();
    for (const int layout : {known, known + 14, known + 27, known + 30}) {
        SCOPED_TRACE(layout);
        EffectSettings earlier = look;
        for (const ControlRow& control : controlCatalogue())
            if (settingsRecordLine(control.outlet).value_or(0) >= layout) resetControl(earlier, control);
        ASSERT_FALSE(earlier == look) << "the layout has later lines";
        const std::string cut = firstLines(record, layout);
        EXPECT_EQ(cut, firstLines(renderSettingsRecord(earlier, extras), layout));
        const RecordParseResult parsed = parseSettingsRecord(cut, look);
        EXPECT_TRUE(parsed.problems.empty()) << parsed.problems.front();
        EXPECT_TRUE(parsed.settings == earlier);
        EXPECT_EQ(parsed.extras, extras);
    }
}

// The logo's path and the font family are lines 111 and 112 (from 1). A
// record with them reads them back; one without the family (an earlier
// release's) leaves the font line's family in charge, whatever was chosen
// before.
TEST(SettingsRecord, TheLogoAndFontFamilyLinesBothWays) {
    EffectSettings named = defaultEffectSettings();
    named.comboTextFontType = 3;
    named.textFontFamily = "Some Family Nobody Has";
    const std::string record = renderSettingsRecord(named, {"/home/me/logos/brand mark.png"});
    const std::vector<std::string> lines = splitRecordLines(record);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(settingsRecordLineCount()));
    EXPECT_EQ(lines[87], "3") << "the font line keeps its index";
    EXPECT_EQ(lines[110], "/home/me/logos/brand mark.png");
    EXPECT_EQ(lines[111], "Some Family Nobody Has");

    // Lines are only ever appended: a reader skips what a later release added.
    const RecordParseResult read =
        parseSettingsRecord(record + "a setting of a later release\n7\n", defaultEffectSettings());
    EXPECT_TRUE(read.problems.empty());
    EXPECT_TRUE(read.settings == named);
    EXPECT_EQ(read.extras.logoPath, "/home/me/logos/brand mark.png");

    // Without the family line, over settings that named a family: the index rules.
    std::string withoutFamily;
    for (int i = 0; i < kSettingsRecordControlLines + 1; ++i) withoutFamily += lines[i] + "\n";
    const RecordParseResult older = parseSettingsRecord(withoutFamily, named);
    EXPECT_TRUE(older.problems.empty());
    EXPECT_EQ(older.settings.comboTextFontType, 3);
    EXPECT_EQ(older.settings.textFontFamily, "");
    EXPECT_EQ(older.extras.logoPath, "/home/me/logos/brand mark.png");

    // A family or a logo path with a line break would shift every line after it: not stored.
    named.textFontFamily = "Two\nLines";
    const std::string broken = renderSettingsRecord(named, {"/tmp/two\nlines.png"});
    EXPECT_EQ(splitRecordLines(broken).size(), static_cast<std::size_t>(settingsRecordLineCount()));
    EXPECT_EQ(parseSettingsRecord(broken, {}).settings.textFontFamily, "");
    EXPECT_EQ(parseSettingsRecord(broken, {}).extras.logoPath, "");
}

// The font pop-up takes an index or any family by name: a family of the
// list becomes its index, another is named and keeps the index; a group
// reset forgets the name.
TEST(SettingsRecord, TheFontIsSetByIndexOrFamilyAndReset) {
    EffectSettings s = defaultEffectSettings();
    EXPECT_TRUE(assignNamedSetting(s, "comboTextFontType", "Verdana"));
    EXPECT_EQ(s.comboTextFontType, 19);
    EXPECT_EQ(s.textFontFamily, "");
    EXPECT_TRUE(assignNamedSetting(s, "comboTextFontType", "DejaVu Sans"));
    EXPECT_EQ(s.comboTextFontType, 19);
    EXPECT_EQ(s.textFontFamily, "DejaVu Sans");
    EXPECT_FALSE(groupIsAtDefault(s, GroupId::TextWatermark));
    EXPECT_TRUE(assignNamedSetting(s, "comboTextFontType", "2"));
    EXPECT_EQ(s.comboTextFontType, 2);
    EXPECT_EQ(s.textFontFamily, "") << "an index names a family of the list";
    EXPECT_FALSE(assignNamedSetting(s, "comboTextFontType", "20"));
    EXPECT_FALSE(assignNamedSetting(s, "comboTextFontType", ""));
    EXPECT_FALSE(assignNamedSetting(s, "comboTextFontType", "A\nB"));
    EXPECT_EQ(s.comboTextFontType, 2);

    EXPECT_TRUE(assignNamedSetting(s, "comboTextFontType", "FreeSerif"));
    resetGroup(s, GroupId::TextWatermark);
    EXPECT_EQ(s.comboTextFontType, 12);
    EXPECT_EQ(s.textFontFamily, "");
    EXPECT_TRUE(groupIsAtDefault(s, GroupId::TextWatermark));
}

// The reset of the reframe group puts back every value but leaves the flips alone.
TEST(SettingsRecord, TheReframeResetLeavesTheFlips) {
    EffectSettings look = everyValueChanged();
    resetGroup(look, GroupId::Reframe);
    EXPECT_TRUE(groupIsAtDefault(look, GroupId::Reframe));
    EXPECT_EQ(look.colorWellReframeBars, (RgbColor{0, 0, 0, 1}));
    EXPECT_EQ(look.checkFlipHorizontal, 1);
    EXPECT_EQ(look.checkFlipVertical, 1);
}

TEST(SettingsRecord, LineBreaksOfEveryKindSplitLines) {
    EXPECT_EQ(splitRecordLines("a\nb\r\nc\rd\u2028e\u0085f\n"),
              (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(splitRecordLines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(splitRecordLines("").empty());
}

}  // namespace
}  // namespace tintreel
