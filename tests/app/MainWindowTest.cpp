#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <fstream>

#include "imaging/FontChoice.h"
#include "platform/ui/ColorWell.h"
#include "platform/ui/FloatSlider.h"
#include "platform/ui/SliderValueField.h"
#include "platform/ui/Stepper.h"
#include "preview/VideoImageView.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

using MainWindowTest = EditorFixture;

// Whether `widget` is the kind of widget a control of `kind` is built as.
bool builtAs(ControlKind kind, QWidget* widget) {
    switch (kind) {
        case ControlKind::Slider:
            return qobject_cast<FloatSlider*>(widget);
        case ControlKind::Check:
            return qobject_cast<QCheckBox*>(widget);
        case ControlKind::Pair:
        case ControlKind::MatrixCell:
            return qobject_cast<Stepper*>(widget);
        case ControlKind::Text:
            return qobject_cast<QLineEdit*>(widget);
        case ControlKind::ColorWell:
            return qobject_cast<ColorWell*>(widget);
        case ControlKind::PopUp:
        case ControlKind::FontPopUp:
            return qobject_cast<QComboBox*>(widget);
        case ControlKind::Button:
            return qobject_cast<QPushButton*>(widget);
    }
    return false;
}

TEST_F(MainWindowTest, BuildsEveryOutletOfTheCatalogueAndTheWindow) {
    for (const ControlRow& control : controlCatalogue()) {
        EXPECT_TRUE(builtAs(control.kind, outlets().find(control.outlet))) << control.outlet;
        if (!control.textOutlet.empty()) {
            EXPECT_TRUE(qobject_cast<QLineEdit*>(outlets().find(control.textOutlet))) << control.textOutlet;
        }
    }
    for (const GroupRow& group : controlGroups()) {
        if (!group.resetOutlet.empty()) {
            EXPECT_NE(outlets().find(group.resetOutlet), nullptr) << group.resetOutlet;
        }
    }
    for (std::string_view name : interfaceSwitchedControls())
        EXPECT_NE(outlets().find(name), nullptr) << name;
    for (const char* name : {"tabView", "boxImage", "customViewImage", "imageViewVideo", "playerViewVideo",
                             "labelProgress", "progressIndicator", "buttonGeneratePreview"})
        EXPECT_NE(outlets().find(name), nullptr) << name;
    EXPECT_EQ(outlets().find("imageViewVideo")->parentWidget(), outlets().find("customViewImage"));

    for (QWidget* w : outlets().all()) EXPECT_FALSE(w->objectName().isEmpty());

    // The font pop-up lists the installed families; the default family, which
    // nobody chose, adds no entry of its own when it is not one of them.
    auto* fonts = outlets().get<QComboBox>("comboTextFontType");
    const std::vector<std::string> installed = installedFontFamilies();
    ASSERT_EQ(fonts->count(), static_cast<int>(installed.size()));
    EXPECT_EQ(fonts->itemText(fonts->count() - 1).toStdString(), installed.back());
    EXPECT_EQ(outlets().get<QComboBox>("comboImagePosition")->itemText(4), "Center");
    EXPECT_EQ(outlets().get<QCheckBox>("checkBlackWhite")->text(), "Black && White");  // shown as one "&"
    EXPECT_EQ(outlets().get<QCheckBox>("check3DTransform")->text(), "3D Transform (4x4 Matrix)");
    for (const char* zoom : {"buttonZoomIn", "buttonZoomOut", "buttonResetZoom"})
        EXPECT_EQ(outlets().find(zoom)->graphicsEffect(), nullptr) << zoom;  // nothing dims them
}

TEST_F(MainWindowTest, StartsAtTheDefaultsAndNewRestoresThemAndTheTitle) {
    EXPECT_TRUE(controller->currentSettings() == defaultEffectSettings());
    EXPECT_EQ(controller->history().count(), 1);
    EXPECT_EQ(controller->history().currenState, 0);
    EXPECT_FALSE(controller->history().needToSaveState);
    EXPECT_EQ(*controller->history().currentRecord(), renderSettingsRecord(defaultEffectSettings()));
    // The default font draws as what stands in for it, with no warning about
    // a font the user never chose; the settings keep the default.
    EXPECT_EQ(outlets().get<QComboBox>("comboTextFontType")->currentText().toStdString(),
              drawnFontFamily("Marker Felt"));
    EXPECT_TRUE(outlets().find("labelTextFontSubstitute")->isHidden());
    EXPECT_EQ(outlets().get<QComboBox>("comboTextPosition")->currentText(), "Bottom Left");
    EXPECT_EQ(outlets().get<QComboBox>("comboImagePosition")->currentText(), "Bottom Right");
    EXPECT_EQ(outlets().get<QLineEdit>("textField3DTransformM11")->text(), "1.00");
    EXPECT_EQ(outlets().get<QLineEdit>("textField3DTransformM12")->text(), "0");
    EXPECT_EQ(outlets().get<QPushButton>("buttonGeneratePreview")->text(), "Generate Preview");
    EXPECT_FALSE(outlets().find("buttonGeneratePreview")->isEnabled());
    EXPECT_FALSE(outlets().find("buttonSaveVideo")->isEnabled());
    EXPECT_TRUE(outlets().find("labelProgress")->isHidden());
    EXPECT_TRUE(outlets().find("progressIndicator")->isHidden());
    EXPECT_TRUE(outlets().find("playerViewVideo")->isHidden());
    const auto& image = outlets().get<VideoImageView>("imageViewVideo")->image();
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(image->isNull());
    EXPECT_TRUE(controller->snapshot()->isEmpty());
    EXPECT_TRUE(controller->videoPath().isEmpty());

    // New after changes and a load brings every default back.
    outlets().get<FloatSlider>("sliderBrightness")->setFloatValue(0.5f);
    outlets().get<QCheckBox>("checkSepia")->setChecked(true);
    outlets().get<QComboBox>("comboTextFontType")->setCurrentIndex(3);
    outlets().get<QLineEdit>("textFieldText")->setText("hello");
    outlets().get<QTabWidget>("tabView")->setCurrentIndex(3);
    outlets().get<Stepper>("stepperBrowseFrames")->setDoubleValue(7);
    window.setWindowTitle("something else");
    load(clip());

    window.command("OnFileNew")->trigger();
    EXPECT_TRUE(controller->currentSettings() == defaultEffectSettings());
    EXPECT_EQ(window.windowTitle(), "Tintreel");
    EXPECT_EQ(outlets().get<QTabWidget>("tabView")->currentIndex(), 0);
    EXPECT_EQ(outlets().get<Stepper>("stepperBrowseFrames")->doubleValue(), 0.0);
    EXPECT_TRUE(controller->videoPath().isEmpty());
    EXPECT_EQ(controller->history().count(), 1);
}

// Every control that changes a setting is switched off during a render (a
// pair with its field), and so is every reset button and every window command
// but the preview button, which stays clickable as Cancel.
TEST_F(MainWindowTest, SwitchingTheInterfaceCoversEverySettingButLeavesThePreviewButtonAlone) {
    std::vector<QWidget*> working;
    std::vector<QWidget*> untouched{outlets().find("buttonGeneratePreview"), outlets().find("tabView")};
    for (const ControlRow& control : controlCatalogue()) {
        working.push_back(outlets().find(control.outlet));
        if (!control.textOutlet.empty())
            (control.kind == ControlKind::Pair ? working : untouched)
                .push_back(outlets().find(control.textOutlet));
    }
    for (const GroupRow& group : controlGroups())
        if (!group.resetOutlet.empty()) working.push_back(outlets().find(group.resetOutlet));
    for (const char* name : {"buttonSelectVideo", "buttonSaveVideo", "stepperBrowseFrames", "buttonZoomIn",
                             "buttonZoomOut", "buttonResetZoom"})
        working.push_back(outlets().find(name));

    outlets().find("buttonGeneratePreview")->setEnabled(true);
    controller->DisableInterface();
    for (QWidget* widget : working) EXPECT_FALSE(widget->isEnabled()) << widget->objectName().toStdString();
    for (QWidget* widget : untouched) EXPECT_TRUE(widget->isEnabled()) << widget->objectName().toStdString();
    controller->EnableInterface();
    for (QWidget* widget : working) EXPECT_TRUE(widget->isEnabled()) << widget->objectName().toStdString();
}

TEST_F(MainWindowTest, ClosingEmptiesTheTemporaryDirectoryAndNothingElse) {
    auto other = TemporaryDirectory::create();
    ASSERT_TRUE(other);
    std::ofstream(directory.path() / "movie1.mov") << "x";
    std::filesystem::create_directory(directory.path() / "sub");
    std::ofstream(other->path() / "keep.mov") << "x";
    window.show();
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(std::filesystem::is_empty(directory.path()));
    EXPECT_TRUE(std::filesystem::exists(other->path() / "keep.mov"));
}

TEST_F(MainWindowTest, CommandsHaveShortcutsAndHelpOpensTheInstalledPage) {
    for (const char* name :
         {"OnFileNew", "OnAppQuit", "OnUndo", "OnRedo", "OnHowToAddWatermarkOnVideo", "OnActualPixels"}) {
        ASSERT_NE(window.command(name), nullptr) << name;
        EXPECT_FALSE(window.command(name)->shortcut().isEmpty()) << name;
    }
    // Actual Pixels is a view command of its own beside Fit.
    EXPECT_NE(window.command("OnActualPixels")->shortcut(), window.command("OnResetZoom")->shortcut());
    EXPECT_TRUE(window.command("OnActualPixels")->isEnabled());
    EXPECT_FALSE(window.command("OnUndo")->isEnabled());
    window.command("OnHowToAddWatermarkOnVideo")->trigger();
    ASSERT_EQ(dialogs.openedUrls.size(), 1u);
    EXPECT_TRUE(dialogs.openedUrls[0].isLocalFile());
    EXPECT_TRUE(dialogs.openedUrls[0].path().endsWith("share/tintreel/help/tutorial.html"));
}

}  // namespace
}  // namespace tintreel
