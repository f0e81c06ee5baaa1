// The Render Settings dialog edits every choice of RenderSettings, offers the
// CRF scale of the chosen codec, and starts from and restores the defaults.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>

#include "platform/ui/RenderSettingsDialog.h"

namespace tintreel {
namespace {

template <typename W>
W* child(const QDialog& dialog, const char* name) {
    W* widget = dialog.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

TEST(RenderSettingsDialog, EveryChoiceRoundTrips) {
    RenderSettingsDialog dialog({});
    EXPECT_EQ(dialog.settings(), RenderSettings{});
    const std::vector<RenderSettings> choices{
        {.codec = VideoCodec::H265, .quality = {QualityLevel::Small}, .speed = EncodeSpeed::Faster},
        {.codec = VideoCodec::AV1, .quality = {60}, .speed = EncodeSpeed::Smaller, .maxHeight = 720},
        {.codec = VideoCodec::H264, .quality = {QualityLevel::Standard}, .maxHeight = 2160},
        {.quality = {0}, .maxHeight = 333},
        {.preset = findOutputPreset("portrait-1080")},
        {.maxHeight = 720, .preset = findOutputPreset("4k")},
        {.codec = VideoCodec::H265, .maxBytes = 8'000'000},
        {.quality = {QualityLevel::Small}, .maxHeight = 480, .maxBytes = 1'500'000},
    };
    for (const RenderSettings& settings : choices) {
        dialog.setSettings(settings);
        EXPECT_EQ(dialog.settings(), settings) << qualityName(settings.quality) << " " << settings.maxHeight;
    }
}

// The preset list is the shared table, in its order, by the names the command line also takes.
TEST(RenderSettingsDialog, ThePresetsAreTheSharedTable) {
    RenderSettingsDialog dialog({});
    auto* presets = child<QComboBox>(dialog, "comboOutputPreset");
    ASSERT_EQ(presets->count(), static_cast<int>(outputPresets().size()) + 1);
    EXPECT_EQ(presets->itemText(0), QStringLiteral("None"));
    EXPECT_EQ(presets->itemText(1), QStringLiteral("Vertical 1080\u00D71920"));
    for (int i = 1; i < presets->count(); ++i) {
        presets->setCurrentIndex(i);
        const OutputPreset* chosen = dialog.settings().preset;
        ASSERT_NE(chosen, nullptr);
        EXPECT_EQ(findOutputPreset(presets->itemText(i).toStdString()), chosen);
    }
    presets->setCurrentIndex(0);
    EXPECT_EQ(dialog.settings().preset, nullptr);
}

TEST(RenderSettingsDialog, ControlsFollowTheChoices) {
    RenderSettingsDialog dialog({});
    auto* codec = child<QComboBox>(dialog, "comboCodec");
    auto* quality = child<QComboBox>(dialog, "comboQuality");
    auto* crf = child<QSpinBox>(dialog, "spinCrf");
    auto* size = child<QComboBox>(dialog, "comboOutputSize");
    auto* height = child<QSpinBox>(dialog, "spinHeight");
    auto* speed = child<QComboBox>(dialog, "comboSpeed");
    // A named quality or size leaves its number box unused.
    EXPECT_FALSE(crf->isEnabled());
    EXPECT_FALSE(height->isEnabled());

    codec->setCurrentText("AV1");
    quality->setCurrentIndex(quality->count() - 1);
    EXPECT_TRUE(crf->isEnabled());
    EXPECT_EQ(crf->maximum(), 63);  // SVT-AV1's scale
    crf->setValue(63);
    size->setCurrentText("480p");
    speed->setCurrentText("Smaller file");
    EXPECT_EQ(
        dialog.settings(),
        (RenderSettings{
            .codec = VideoCodec::AV1, .quality = {63}, .speed = EncodeSpeed::Smaller, .maxHeight = 480}));
    codec->setCurrentText("H.265");
    EXPECT_EQ(crf->maximum(), 51);  // x265's scale: the number follows it
    EXPECT_EQ(dialog.settings().quality, Quality{51});
    size->setCurrentIndex(size->count() - 1);
    EXPECT_TRUE(height->isEnabled());
    height->setValue(600);
    EXPECT_EQ(dialog.settings().maxHeight, 600);

    // A file size takes the quality's place, in megabytes of 10^6 bytes.
    auto* fit = child<QCheckBox>(dialog, "checkFitSize");
    auto* megabytes = child<QDoubleSpinBox>(dialog, "spinFitMegabytes");
    EXPECT_FALSE(megabytes->isEnabled());
    fit->setChecked(true);
    EXPECT_TRUE(megabytes->isEnabled());
    EXPECT_FALSE(quality->isEnabled());
    EXPECT_FALSE(crf->isEnabled());
    megabytes->setValue(2.5);
    EXPECT_EQ(dialog.settings().maxBytes, 2'500'000);
    fit->setChecked(false);
    EXPECT_EQ(dialog.settings().maxBytes, 0);
    EXPECT_TRUE(quality->isEnabled());

    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::RestoreDefaults)->click();
    EXPECT_EQ(dialog.settings(), RenderSettings{});
}

}  // namespace
}  // namespace tintreel
