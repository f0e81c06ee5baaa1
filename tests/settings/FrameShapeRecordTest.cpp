// The reframe and flip controls in the settings record: their lines come
// after every line an earlier release wrote, whatever group the window
// shows them in, so profiles of every earlier layout load unchanged and
// earlier readers read what they always did.
#include <gtest/gtest.h>

#include "settings/ControlCatalogue.h"
#include "settings/NamedSetting.h"
#include "settings/SettingsRecord.h"

namespace tintreel {
namespace {

// Every line of the layout before the frame's shape: the first controls,
// the extras and the watermarks' scale and timing.
const std::size_t kEarlierLines = kSettingsRecordControlLines + 2 + 14;

EffectSettings reframedLook() {
    EffectSettings s = defaultEffectSettings();
    for (const auto& [name, value] :
         std::vector<std::pair<std::string, std::string>>{{"comboReframeAspect", "Custom"},
                                                          {"stepperReframeWidth", "5"},
                                                          {"stepperReframeHeight", "3"},
                                                          {"comboReframeFill", "Fit with Bars"},
                                                          {"sliderReframeFocusX", "0.2"},
                                                          {"sliderReframeFocusY", "0.9"},
                                                          {"colorWellReframeBars", "#ff0000"},
                                                          {"checkFlipHorizontal", "1"},
                                                          {"checkFlipVertical", "1"},
                                                          {"checkSepia", "1"},
                                                          {"stepperImageFade", "3"}})
        EXPECT_TRUE(assignNamedSetting(s, name, value)) << name;
    return s;
}

std::string firstLines(const std::string& record, std::size_t count) {
    std::string text;
    const std::vector<std::string> lines = splitRecordLines(record);
    for (std::size_t i = 0; i < count; ++i) text += lines.at(i) + "\n";
    return text;
}

TEST(FrameShapeRecord, ItsLinesFollowEveryEarlierLineReframeFirstThenFlips) {
    ASSERT_EQ(kEarlierLines, static_cast<std::size_t>(*settingsRecordLine("textFieldImageFade") + 1));
    const std::pair<std::string_view, int> lines[] = {
        {"comboReframeAspect", 0},   {"stepperReframeWidth", 1},    {"textFieldReframeWidth", 2},
        {"stepperReframeHeight", 3}, {"textFieldReframeHeight", 4}, {"comboReframeFill", 5},
        {"sliderReframeFocusX", 6},  {"sliderReframeFocusY", 7},    {"colorWellReframeBars", 8},
        {"checkFlipHorizontal", 11}, {"checkFlipVertical", 12}};
    for (const auto& [outlet, offset] : lines)
        EXPECT_EQ(settingsRecordLine(outlet), static_cast<int>(kEarlierLines) + offset) << outlet;
    // The colour table's lines come after the shape's.
    EXPECT_EQ(settingsRecordLine("checkColorTable"), static_cast<int>(kEarlierLines) + 13);
    // The window shows them with the transforms, though the record keeps them last.
    EXPECT_EQ(groupSpec(findControl("comboReframeAspect")->group).tab, SettingsTab::Transform);
    EXPECT_EQ(groupSpec(findControl("checkFlipVertical")->group).tab, SettingsTab::Transform);
}

// A profile of the previous layout, whatever the editor held before,
// loads with the frame's shape at its defaults and no problem, and saved
// again it begins with exactly what it was.
TEST(FrameShapeRecord, AProfileOfThePreviousLayoutLoadsUnchanged) {
    EffectSettings previous = defaultEffectSettings();
    ASSERT_TRUE(assignNamedSetting(previous, "checkSepia", "1"));
    ASSERT_TRUE(assignNamedSetting(previous, "stepperTextStart", "2.5"));
    const std::string old = firstLines(renderSettingsRecord(previous, {"/logos/a.png"}), kEarlierLines);

    const RecordParseResult parsed = parseSettingsRecord(old, reframedLook());
    EXPECT_TRUE(parsed.problems.empty()) << parsed.problems.front();
    EXPECT_TRUE(parsed.settings == previous);
    EXPECT_EQ(parsed.extras.logoPath, "/logos/a.png");
    EXPECT_EQ(renderSettingsRecord(parsed.settings, parsed.extras).rfind(old, 0), 0u);
}

// A record with the frame's shape reads back whole, and its first lines are
// what the previous layout wrote for the same look without it.
TEST(FrameShapeRecord, ARecordWithTheShapeReadsBothWays) {
    const EffectSettings look = reframedLook();
    const std::string record = renderSettingsRecord(look);
    const RecordParseResult back = parseSettingsRecord(record, defaultEffectSettings());
    EXPECT_TRUE(back.problems.empty()) << back.problems.front();
    EXPECT_TRUE(back.settings == look);

    EffectSettings withoutShape = look;
    for (const ControlRow& control : controlCatalogue())
        if (control.group == GroupId::Reframe || control.group == GroupId::Flip)
            resetControl(withoutShape, control);
    EXPECT_FALSE(withoutShape == look);
    EXPECT_EQ(firstLines(record, kEarlierLines),
              firstLines(renderSettingsRecord(withoutShape), kEarlierLines));
}

// The reset of the reframe group puts back every value but leaves the flips alone.
TEST(FrameShapeRecord, TheReframeResetLeavesTheFlips) {
    EffectSettings look = reframedLook();
    resetGroup(look, GroupId::Reframe);
    EXPECT_TRUE(groupIsAtDefault(look, GroupId::Reframe));
    EXPECT_EQ(look.comboReframeAspect, 0);
    EXPECT_EQ(look.colorWellReframeBars, (RgbColor{0, 0, 0, 1}));
    EXPECT_EQ(look.checkFlipHorizontal, 1);
    EXPECT_EQ(look.checkFlipVertical, 1);
}

}  // namespace
}  // namespace tintreel
