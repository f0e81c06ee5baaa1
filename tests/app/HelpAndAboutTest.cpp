// Help works without a browser (the page shows inside the application), the
// About box names the version, the licence and the libraries, and the window
// at its minimum size still lays its command bar out without overlaps.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTextBrowser>

#include "app/AboutBox.h"
#include "platform/ui/HelpWindow.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

using HelpAndAboutTest = EditorFixture;

TEST_F(HelpAndAboutTest, TheHelpPageShowsInsideTheApplication) {
    QWidget owner;
    QtDialogs real(&owner);
    const QUrl page =
        QUrl::fromLocalFile(QStringLiteral(TINTREEL_SOURCE_DIR "/resources/help/tutorial.html"));
    real.openUrl(page);
    auto* help = owner.findChild<HelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->isWindow());
    EXPECT_EQ(help->browser()->source(), page);
    EXPECT_TRUE(help->browser()->toPlainText().contains("How to add a watermark on a video"));
    EXPECT_TRUE(help->windowTitle().contains("Tintreel"));

    // Asked again, the same window comes back.
    help->close();
    real.openUrl(page);
    EXPECT_EQ(owner.findChildren<HelpWindow*>().size(), 1);
    EXPECT_TRUE(help->isVisible());
}

TEST_F(HelpAndAboutTest, AboutNamesTheVersionTheLicenceAndTheLibraries) {
    const QString text = aboutText();
    for (const QString& part :
         {QStringLiteral("Tintreel " TINTREEL_VERSION), QStringLiteral("MIT"),
          QStringLiteral("Qt ") + QString::fromLatin1(qVersion()), QStringLiteral("FFmpeg"),
          QStringLiteral("libavcodec"), QStringLiteral("libavformat"), QStringLiteral("oneTBB")})
        EXPECT_TRUE(text.contains(part)) << part.toStdString() << " in " << text.toStdString();

    window.show();
    QAction* about = window.command("OnAbout");
    ASSERT_NE(about, nullptr);
    about->trigger();  // opens without waiting for an answer
    auto* box = window.findChild<QMessageBox*>(QStringLiteral("aboutBox"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->text(), text);
    box->close();
}

// Every widget of the command bar under the preview, at the window's
// minimum size: none overlaps another, none is narrower than it needs.
TEST_F(HelpAndAboutTest, AtItsMinimumSizeTheCommandBarDoesNotOverlap) {
    window.show();
    window.resize(window.minimumSize());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.size() == window.minimumSize(); }, 5000));
    QApplication::processEvents();
    QWidget* bar = outlets().find("buttonSelectVideo")->parentWidget();
    std::vector<QWidget*> parts;
    for (QWidget* part : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (part->isVisible()) parts.push_back(part);
    ASSERT_GE(parts.size(), 8u);
    for (QWidget* part : parts) {
        EXPECT_GE(part->width(), std::min(part->minimumSizeHint().width(), part->maximumWidth()))
            << part->objectName().toStdString();
        EXPECT_TRUE(bar->rect().contains(part->geometry())) << part->objectName().toStdString();
        for (QWidget* other : parts) {
            if (other != part) {
                EXPECT_FALSE(part->geometry().intersects(other->geometry()))
                    << part->objectName().toStdString() << " and " << other->objectName().toStdString();
            }
        }
    }
    const QWidget* tabs = outlets().find("tabView");
    EXPECT_LE(bar->mapTo(&window, QPoint(bar->width(), 0)).x(), tabs->mapTo(&window, QPoint(0, 0)).x());
}

}  // namespace
}  // namespace tintreel
