#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "platform/ui/FloatSlider.h"
#include "platform/ui/Stepper.h"
#include "settings/SessionFile.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::sessionFileIn;

// One editor window that keeps its session in `folder`.
struct Editor : EditorWindow {
    explicit Editor(const fs::path& folder) { controller->keepSession(folder); }
};

fs::path clip() {
    return test::makeClip("-f lavfi -i testsrc2=s=320x240:r=10:d=3 -pix_fmt yuv420p -c:v libx264", "mp4");
}

class SessionRestoreTest : public ::testing::Test {
protected:
    fs::path root = test::scratchDirectory(std::string("session-restore-") +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path folder = root / "sessions";

    // Loads the clip and changes controls of every kind, the browse position and the picture.
    void workIn(Editor& editor) {
        editor.dialogs.openPaths.push_back(QString::fromStdString(clip().string()));
        editor.controller->OnSelectVideo();
        ASSERT_TRUE(editor.settle());
        editor.outlet<FloatSlider>("sliderBrightness")->setFloatValueByUser(0.3f);
        editor.outlet<QCheckBox>("checkSepia")->click();
        editor.outlet<QCheckBox>("checkVignette")->click();  // on, then a value while it is off:
        editor.outlet<QCheckBox>("checkVignette")->click();  // it is still part of the session
        editor.outlet<FloatSlider>("sliderVignetteRadius")->setFloatValueByUser(0.125f);
        auto* text = editor.outlet<QLineEdit>("textFieldText");
        text->setText(QStringLiteral("Caf\u00e9 \u2014 take 2"));
        Q_EMIT text->editingFinished();
        ASSERT_TRUE(test::writePicture(root / "logo.png"));
        editor.dialogs.openPaths.push_back(QString::fromStdString((root / "logo.png").string()));
        editor.outlet<QPushButton>("buttonSelectImage")->click();
        editor.outlet<Stepper>("stepperBrowseFrames")->setDoubleValue(2);
        editor.controller->OnBrowseFrames();
        ASSERT_TRUE(editor.settle());
    }
};

// What the editor holds reaches the file by itself, a moment after the
// changes; a start after the editor went without a normal quit offers it,
// naming the video, and accepting brings back the same settings record
// byte for byte, the video at the same position, and the picture.
TEST_F(SessionRestoreTest, AcceptingBringsBackTheSameRecordVideoPositionAndPicture) {
    SessionState kept;
    {
        Editor first(folder);
        workIn(first);
        kept = first.controller->currentSession();
        ASSERT_TRUE(QTest::qWaitFor([&] { return sessionFileIn(folder) == renderSessionFile(kept); }, 10000));
        EXPECT_EQ(kept.videoPath, clip().string());
        EXPECT_EQ(kept.browseSeconds, 2.0);
        EXPECT_EQ(kept.picturePath, (root / "logo.png").string());
        EXPECT_NE(kept.settingsRecord, first.controller->history().stateImagesPath.front());
    }  // gone without a normal quit

    Editor second(folder);
    second.dialogs.restoreSession = true;
    EXPECT_TRUE(second.controller->offerLeftSession());
    ASSERT_TRUE(second.settle());
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.controller->snapshotSeconds() == 2.0; }, 20000));
    ASSERT_TRUE(second.settle());
    ASSERT_EQ(second.dialogs.sessionOffers.size(), 1u);
    EXPECT_EQ(second.dialogs.sessionOffers[0].toStdString(), clip().filename().string());
    EXPECT_EQ(second.controller->currentRecord(), kept.settingsRecord);
    EXPECT_EQ(second.controller->currentSession(), kept);
    EXPECT_EQ(second.controller->logo()->width(), 64);
    EXPECT_EQ(*second.controller->history().currentRecord(), kept.settingsRecord);
    EXPECT_TRUE(second.dialogs.alerts.empty());
}

// Closing the window is the normal quit: nothing is asked next time.
// Declining discards the session: it is not asked about again.
TEST_F(SessionRestoreTest, ANormalQuitAsksNothingAndDecliningDiscards) {
    {
        Editor first(folder);
        workIn(first);
        first.controller->sessionKeeper().flush();
        ASSERT_FALSE(sessionFileIn(folder).empty());
        first.window.close();
    }
    {
        Editor second(folder);
        EXPECT_FALSE(second.controller->offerLeftSession());
        EXPECT_TRUE(second.dialogs.sessionOffers.empty());
        workIn(second);
    }
    Editor third(folder);
    EXPECT_FALSE(third.controller->offerLeftSession());  // declined
    EXPECT_EQ(third.dialogs.sessionOffers.size(), 1u);
    EXPECT_TRUE(third.controller->videoPath().isEmpty());
    EXPECT_EQ(third.controller->currentSettings().sliderBrightness, 0.0f);
    Editor fourth(folder);
    EXPECT_FALSE(fourth.controller->offerLeftSession());
    EXPECT_TRUE(fourth.dialogs.sessionOffers.empty());
}

}  // namespace
}  // namespace tintreel
