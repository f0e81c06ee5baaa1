// The real editor, killed with SIGKILL, leaves its session for the next
// start: the program runs offscreen with a clip named on its command line,
// in data, cache and runtime folders of the test's own.
#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>

#include "settings/SessionFile.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::sessionFileIn;

TEST(SessionAfterKillTest, AKilledEditorsSessionIsOfferedAndRestoredByteForByte) {
    const fs::path root = test::scratchDirectory("session-after-kill");
    const fs::path clip =
        test::makeClip("-f lavfi -i testsrc2=s=320x240:r=10:d=2 -pix_fmt yuv420p -c:v libx264", "mp4");
    for (const char* sub : {"data", "cache", "config", "runtime"}) fs::create_directories(root / sub);
    fs::permissions(root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_DATA_HOME", QString::fromStdString((root / "data").string()));
    environment.insert("XDG_CACHE_HOME", QString::fromStdString((root / "cache").string()));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString((root / "config").string()));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString((root / "runtime").string()));
    QProcess editor;
    editor.setProcessEnvironment(environment);
    editor.start(QStringLiteral(TINTREEL_EDITOR_PATH), {QString::fromStdString(clip.string())});
    ASSERT_TRUE(editor.waitForStarted());

    // AppDataLocation: the data folder, then organisation and application.
    const fs::path sessions = root / "data" / "Tintreel" / "Tintreel" / "sessions";
    const bool written = QTest::qWaitFor([&] { return !sessionFileIn(sessions).empty(); }, 60000);
    ::kill(static_cast<pid_t>(editor.processId()), SIGKILL);
    editor.waitForFinished();
    ASSERT_TRUE(written) << editor.readAllStandardError().toStdString();
    const Result<SessionState> left = parseSessionFile(sessionFileIn(sessions));
    ASSERT_TRUE(left) << left.error();
    EXPECT_EQ(left->videoPath, clip.string());

    EditorWindow next;
    FakeDialogs& dialogs = next.dialogs;
    ViewController* controller = next.controller;
    dialogs.restoreSession = true;
    controller->keepSession(sessions);
    ASSERT_TRUE(controller->offerLeftSession());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->videoPath().isEmpty(); }, 20000));
    ASSERT_EQ(dialogs.sessionOffers.size(), 1u);
    EXPECT_EQ(dialogs.sessionOffers[0].toStdString(), clip.filename().string());
    EXPECT_EQ(controller->videoPath().toStdString(), clip.string());
    EXPECT_EQ(controller->currentRecord(), left->settingsRecord);
    EXPECT_TRUE(dialogs.alerts.empty());
}

}  // namespace
}  // namespace tintreel
