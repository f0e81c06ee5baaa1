// The colour table in the window: choosing a table shows it on the still,
// clearing it and a table that cannot be used leave the look as it was, a
// profile naming a missing table says so and keeps the rest, and the look
// is exported as a .cube.
#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <fstream>

#include "platform/filters/ColorTable.h"
#include "preview/VideoImageView.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

class ColorTableControlsTest : public EditorFixture {
protected:
    void SetUp() override {
        std::ofstream(folder() / "invert.cube")
            << "LUT_3D_SIZE 2\n1 1 1\n0 1 1\n1 0 1\n0 0 1\n1 1 0\n0 1 0\n1 0 0\n0 0 0\n";
        std::ofstream(folder() / "broken.cube") << "LUT_3D_SIZE 2\n0 0 0\n";
        load(clip());
        outlet<QCheckBox>("checkColorTable")->click();
        ASSERT_TRUE(settle());
        plain_ = shownImage();
    }
    fs::path folder() const { return directory.path(); }
    QString path(const char* name) const { return QString::fromStdString((folder() / name).string()); }
    void choose(const char* name) {
        dialogs.openPaths.push_back(path(name));
        outlet<QPushButton>("buttonSelectColorTable")->click();
        ASSERT_TRUE(settle());
    }
    QImage plain_;
};

// A chosen table shows on the still; one that cannot be used is named and
// leaves the look as it was; clearing goes back to the plain still, and an
// undo brings the table back.
TEST_F(ColorTableControlsTest, AChosenTableShowsABadOneIsNamedAndClearingGoesBack) {
    choose("invert.cube");
    EXPECT_EQ(outlet<QLineEdit>("textFieldColorTable")->text(), path("invert.cube"));
    const QImage inverted = shownImage();
    const QRgb before = plain_.pixel(40, 40), after = inverted.pixel(40, 40);
    EXPECT_EQ(qGreen(after), 255 - qGreen(before));
    EXPECT_TRUE(dialogs.alerts.empty());

    choose("broken.cube");
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_NE(dialogs.alerts[0].text.indexOf("broken.cube"), -1) << dialogs.alerts[0].text.toStdString();
    EXPECT_EQ(outlet<QLineEdit>("textFieldColorTable")->text(), path("invert.cube"));
    EXPECT_EQ(shownImage(), inverted);

    outlet<QPushButton>("buttonClearColorTable")->click();
    ASSERT_TRUE(settle());
    EXPECT_EQ(outlet<QLineEdit>("textFieldColorTable")->text(), "");
    EXPECT_EQ(shownImage(), plain_);
    controller->OnUndo();
    ASSERT_TRUE(settle());
    EXPECT_EQ(shownImage(), inverted) << "undo brings the table back";

    // A profile naming a table that is gone: the alert names it, the rest of the look is used.
    outlet<QCheckBox>("checkSepia")->click();
    dialogs.savePaths.push_back(path("look.tintreel"));
    controller->OnSaveProfileAs();
    outlet<QCheckBox>("checkSepia")->click();
    ASSERT_TRUE(settle());
    fs::remove(folder() / "invert.cube");
    dialogs.openPaths.push_back(path("look.tintreel"));
    controller->OnLoadProfile();
    ASSERT_TRUE(settle());
    ASSERT_EQ(dialogs.alerts.size(), 2u);
    EXPECT_NE(dialogs.alerts[1].text.indexOf("invert.cube"), -1) << dialogs.alerts[1].text.toStdString();
    EXPECT_EQ(controller->currentSettings().checkSepia, 1);
}

// A table dropped on the picture is chosen and switched on at once; a bad one
// is named and changes nothing, and neither asks about replacing the video.
TEST_F(ColorTableControlsTest, ATableDroppedOnThePictureIsChosenAndSwitchedOn) {
    outlet<QCheckBox>("checkColorTable")->click();
    ASSERT_TRUE(settle());
    const auto drop = [&](const char* name) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path(name))});
        return outlet<VideoImageView>("imageViewVideo")->performDragOperation(&data);
    };
    EXPECT_TRUE(drop("broken.cube"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_FALSE(outlet<QCheckBox>("checkColorTable")->isChecked());
    EXPECT_EQ(shownImage(), plain_);

    EXPECT_TRUE(drop("invert.cube"));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(outlet<QCheckBox>("checkColorTable")->isChecked());
    EXPECT_EQ(outlet<QLineEdit>("textFieldColorTable")->text(), path("invert.cube"));
    EXPECT_EQ(qGreen(shownImage().pixel(40, 40)), 255 - qGreen(plain_.pixel(40, 40)));
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(ColorTableControlsTest, TheLookIsExportedAsATable) {
    outlet<QCheckBox>("checkBlur")->click();
    choose("invert.cube");
    dialogs.savePaths.push_back(path("exported"));
    controller->OnExportColorTable();
    const fs::path cube = folder() / "exported.cube";
    ASSERT_TRUE(fs::exists(cube));
    const auto table = ColorTable::load(cube);
    ASSERT_TRUE(table.ok()) << table.error();
    EXPECT_EQ((*table)->gridSize(), 33);
    // The corner node black holds white: the inverting table is in it.
    EXPECT_NEAR((*table)->grid()[0], 1.0f, 1e-6);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_NE(dialogs.alerts[0].text.indexOf("Blur"), -1);
}

}  // namespace
}  // namespace tintreel
