// The dark theme as a user sees it: check boxes with a visible box and a
// tick, checkable menu items with a box even when unchecked, and zoom
// buttons that look as enabled as they are.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>

#include "app/Theme.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

// The theme is the application's: each test puts back what it found.
class ThemeTest : public ::testing::Test {
protected:
    ThemeTest() : originalStyle_(QApplication::style()->name()) { applyDarkTheme(*qApp); }
    ~ThemeTest() override {
        qApp->setStyleSheet(QString());
        QApplication::setPalette(QPalette());
        QApplication::setStyle(QStyleFactory::create(originalStyle_));
    }

private:
    QString originalStyle_;
};

// Pixels at least as light as `lightness` in `image`, within the first `columns` columns.
int pixelsAtLeast(const QImage& image, int lightness, int columns) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < std::min(columns, image.width()); ++x)
            count += image.pixelColor(x, y).lightness() >= lightness;
    return count;
}

QImage checkBoxPicture(bool checked, bool enabled) {
    QCheckBox box;
    box.setChecked(checked);
    box.setEnabled(enabled);
    box.ensurePolished();
    box.resize(box.sizeHint());
    return box.grab().toImage();
}

TEST_F(ThemeTest, CheckBoxesAndCheckableMenuItemsShowABoxAndATickWhenChecked) {
    const int window = QApplication::palette().color(QPalette::Window).lightness();
    struct Case {
        bool checked, enabled;
        bool tick;
    };
    for (const Case& c : {Case{true, true, true}, Case{false, true, false}, Case{true, false, true},
                          Case{false, false, false}}) {
        SCOPED_TRACE(testing::Message() << "checked " << c.checked << ", enabled " << c.enabled);
        const QImage picture = checkBoxPicture(c.checked, c.enabled);
        // The tick is near white on the accent (enabled) or a lighter grey on grey.
        const int tickPixels = pixelsAtLeast(picture, c.enabled ? 220 : 120, picture.width());
        if (c.tick)
            EXPECT_GE(tickPixels, 6);
        else
            EXPECT_EQ(tickPixels, 0);
        // The box's border stands out from the window.
        EXPECT_GE(pixelsAtLeast(picture, window + 35, picture.width()), 12);
    }
    EXPECT_NE(checkBoxPicture(true, true), checkBoxPicture(false, true));

    // An unchecked checkable menu item shows its box too.
    const auto menuPicture = [](bool checkable) {
        QMenu menu;
        QAction* action = menu.addAction(QStringLiteral("Render Each Effect in Its Own Pass"));
        action->setCheckable(checkable);
        menu.ensurePolished();
        menu.resize(menu.sizeHint());
        return menu.grab().toImage();
    };
    // The box sits left of the item's text, in the first columns.
    EXPECT_EQ(pixelsAtLeast(menuPicture(false), window + 60, 24), 0);
    EXPECT_GE(pixelsAtLeast(menuPicture(true), window + 60, 24), 12);
}

TEST_F(ThemeTest, TheZoomButtonsLookAsEnabledAsTheCommandButtons) {
    EditorWindow editor;
    editor.window.show();
    const Outlets& outlets = editor.outlets();
    const auto brightest = [](QWidget* widget) {
        const QImage picture = widget->grab().toImage();
        int lightest = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                lightest = std::max(lightest, picture.pixelColor(x, y).lightness());
        return lightest;
    };
    const int command = brightest(outlets.find("buttonSelectVideo"));
    for (const char* name : {"buttonZoomOut", "buttonZoomIn", "buttonResetZoom"}) {
        QWidget* zoom = outlets.find(name);
        ASSERT_TRUE(zoom->isEnabled()) << name;
        EXPECT_GE(brightest(zoom), command - 20) << name;
    }
    EXPECT_EQ(outlets.get<QPushButton>("buttonResetZoom")->text(), "Fit");
}

}  // namespace
}  // namespace tintreel
