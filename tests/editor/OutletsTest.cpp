// Reaching a control by a name that is missing, or of another type, ends the
// process there with the name, in release builds too: never a null pointer
// that surfaces later.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "editor/Outlets.h"
#include "editor/ViewController.h"
#include "editor/WindowControls.h"
#include "platform/system/TemporaryDirectory.h"
#include "support/FakeDialogs.h"

namespace tintreel {
namespace {

TEST(OutletsDeathTest, AMissingOrMistypedNameEndsTheProcessWithTheName) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QWidget root;
    Outlets outlets;
    auto* button = outlets.add(new QPushButton(&root), "buttonGo");
    EXPECT_EQ(outlets.get<QPushButton>("buttonGo"), button);
    EXPECT_EQ(outlets.get<QWidget>("buttonGo"), button);
    EXPECT_EQ(outlets.find("buttonGone"), nullptr);
    EXPECT_DEATH(outlets.get<QPushButton>("buttonGone"), "no control named \"buttonGone\"");
    EXPECT_DEATH(outlets.get<QLabel>("buttonGo"), "\"buttonGo\" is a QPushButton, not a QLabel");
}

// The window's own controls are resolved once when it is built: a window that
// lacks one, or has it as another kind of widget, fails there by name.
TEST(OutletsDeathTest, ResolvingTheWindowsControlsFailsOnTheFirstMissingOrMistypedName) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const TemporaryDirectory directory = *TemporaryDirectory::create();
    FakeDialogs dialogs;
    const ViewController controller(directory.path(), dialogs);
    const WindowControls controls = resolveWindowControls(controller.outlets());
    EXPECT_EQ(controls.saveVideo, controller.outlets().find("buttonSaveVideo"));
    EXPECT_EQ(controls.watermarkText, controller.outlets().find("textFieldText"));

    Outlets partial;
    for (QWidget* widget : controller.outlets().all())
        if (widget->objectName() != "buttonSaveVideo") partial.add(widget, widget->objectName().toStdString());
    EXPECT_DEATH(resolveWindowControls(partial), "no control named \"buttonSaveVideo\"");
    QLabel impostor;
    partial.add(&impostor, "buttonSaveVideo");
    EXPECT_DEATH(resolveWindowControls(partial), "\"buttonSaveVideo\" is a QLabel, not a QPushButton");
}

}  // namespace
}  // namespace tintreel
