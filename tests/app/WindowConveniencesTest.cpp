// What a user expects of the window around the editor: a hint while nothing
// is loaded, a Compare button and key that show the frame without effects,
// the open panel starting in the last folder used, and File > Open Recent.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "editor/RecentVideos.h"
#include "platform/ui/FloatSlider.h"
#include "preview/VideoImageView.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

class WindowConveniencesTest : public EditorFixture {
protected:
    WindowConveniencesTest() { RecentVideos().clear(); }

    VideoImageView* view() const { return outlet<VideoImageView>("imageViewVideo"); }
    // The colour in the middle of the preview as painted.
    QColor middle() const {
        const QImage shot = view()->grab().toImage();
        return shot.pixelColor(shot.width() / 2, shot.height() / 2);
    }
    QMenu* recentMenu() const { return window.command("OnOpenRecent")->menu(); }
};

TEST_F(WindowConveniencesTest, AnEmptyPreviewHintsHowToStartAndCompareShowsTheFrameWithoutEffects) {
    window.show();
    const QImage empty = view()->grab().toImage();
    int lit = 0;  // pixels of the hint's text on the black canvas
    for (int y = 0; y < empty.height(); ++y)
        for (int x = 0; x < empty.width(); ++x) lit += empty.pixelColor(x, y).lightness() > 60;
    EXPECT_GT(lit, 100);
    load(clip());
    EXPECT_NE(view()->grab().toImage(), empty);

    // Compare shows the frame without effects while held.
    const QColor source = middle();
    auto* brightness = outlet<FloatSlider>("sliderBrightness");
    brightness->setFloatValueByUser(0.5f);
    ASSERT_TRUE(settle());
    const QColor brighter = middle();
    ASSERT_GT(brighter.lightness(), source.lightness() + 30);

    auto* compare = outlet<QPushButton>("buttonCompare");
    QTest::mousePress(compare, Qt::LeftButton);
    EXPECT_EQ(middle(), source);
    QTest::mouseRelease(compare, Qt::LeftButton);
    EXPECT_EQ(middle(), brighter);

    // The backslash key does the same where no text field takes it.
    QTest::keyPress(controller, Qt::Key_Backslash);
    EXPECT_EQ(middle(), source);
    QTest::keyRelease(controller, Qt::Key_Backslash);
    EXPECT_EQ(middle(), brighter);
    EXPECT_EQ(controller->history().count(), 2);  // comparing changes nothing
}

TEST_F(WindowConveniencesTest, TheOpenPanelStartsInTheLastFolderAndRecentVideosReopen) {
    const auto first = test::scratchDirectory("recent-a") / "first.mp4";
    const auto second = test::scratchDirectory("recent-b") / "second.mp4";
    std::filesystem::copy_file(clip(), first, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(clip(), second, std::filesystem::copy_options::overwrite_existing);

    load(first);
    load(second);
    ASSERT_EQ(dialogs.openedIn.size(), 2u);
    EXPECT_EQ(dialogs.openedIn[1], QString::fromStdString(first.parent_path().string()));
    EXPECT_EQ(RecentVideos().paths(),
              QStringList({QString::fromStdString(second.string()), QString::fromStdString(first.string())}));

    // The menu offers them newest first; choosing one opens it.
    Q_EMIT recentMenu()->aboutToShow();
    const QList<QAction*> entries = recentMenu()->actions();
    ASSERT_GE(entries.size(), 2);
    EXPECT_EQ(entries[0]->text(), QStringLiteral("second.mp4"));
    EXPECT_EQ(entries[1]->text(), QStringLiteral("first.mp4"));
    entries[1]->trigger();
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->videoPath(), QString::fromStdString(first.string()));
    EXPECT_EQ(RecentVideos().paths().first(), QString::fromStdString(first.string()));

    // A file removed since is no longer offered.
    std::filesystem::remove(second);
    EXPECT_EQ(RecentVideos().paths(), QStringList({QString::fromStdString(first.string())}));
}

}  // namespace
}  // namespace tintreel
