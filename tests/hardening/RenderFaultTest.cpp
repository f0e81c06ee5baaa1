// Faults during a render, from the window and from tintreel-render: the
// disk fills up (a file-size limit with SIGXFSZ ignored stands in for it, so
// writes fail with EFBIG as on a full disk), the input is truncated or
// deleted while it is being read, and the private temporary directory is
// removed under the running render. A fault never ends as success with a
// damaged movie, and nothing is left behind.
#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>

#include "cli/CliProgram.h"
#include "hardening/HostileCorpus.h"
#include "support/EditorFixture.h"
#include "support/FileSizeLimit.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

const QString kCouldNotGenerate = QStringLiteral("Could not generate preview.");

// 1280x720 for three seconds with a tone: its first pass lasts long enough to
// be interrupted.
fs::path longClip() {
    return test::makeClip(
        "-f lavfi -i testsrc2=s=1280x720:r=30:d=3 -f lavfi -i sine=f=440:d=3 -pix_fmt yuv420p "
        "-c:v libx264 -preset ultrafast -c:a aac -shortest",
        "mov");
}

// A private copy of `clip` that a test may damage.
fs::path copyToScratch(const fs::path& clip, const std::string& name) {
    const fs::path copy = test::scratchDirectory(name) / clip.filename();
    fs::copy_file(clip, copy);
    return copy;
}

class RenderFaultInWindow : public EditorFixture {
protected:
    // Starts a render with sepia and blur and returns once the first pass reports progress.
    void startTwoPassRender() {
        outlet<QCheckBox>("checkSepia")->setChecked(true);
        outlet<QCheckBox>("checkBlur")->setChecked(true);
        controller->OnGeneratePreview();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !outlet<QLabel>("labelProgress")->text().isEmpty(); }, 30000));
    }

    bool waitForRender() {
        QSignalSpy finished(controller, &ViewController::renderFinished);
        return finished.count() > 0 || finished.wait(120000);
    }

    void expectFailedAndEmpty() {
        ASSERT_EQ(dialogs.alerts.size(), 1u);
        EXPECT_EQ(dialogs.alerts[0].text, kCouldNotGenerate);
        EXPECT_TRUE(controller->newVideoPath().isEmpty());
        EXPECT_TRUE(outlets().find("playerViewVideo")->isHidden());
        EXPECT_TRUE(test::entryCount(directory.path()) == 0) << "a failed render left files behind";
    }
};

TEST_F(RenderFaultInWindow, AFullDiskFailsTheRenderAndItsFinalCopy) {
    const fs::path clip = test::healthyClip();
    load(clip);
    // With sepia the pass runs out of room; with no effect the render is a
    // copy of the movie, and the copy runs out of room.
    const std::pair<bool, std::uintmax_t> cases[] = {{true, 4096}, {false, fs::file_size(clip) / 2}};
    for (const auto& [sepia, room] : cases) {
        SCOPED_TRACE(sepia ? "sepia" : "copy");
        outlet<QCheckBox>("checkSepia")->setChecked(sepia);
        dialogs.alerts.clear();
        {
            const test::FileSizeLimit full(room);
            controller->OnGeneratePreview();
            ASSERT_TRUE(waitForRender());
        }
        expectFailedAndEmpty();
    }
}

TEST_F(RenderFaultInWindow, AnInputTruncatedWhileReadFailsTheRender) {
    const fs::path input = copyToScratch(longClip(), "fault-truncated");
    load(input);
    startTwoPassRender();
    fs::resize_file(input, fs::file_size(input) / 5);
    ASSERT_TRUE(waitForRender());
    expectFailedAndEmpty();
}

// An unlinked file stays readable through the descriptor the first pass holds,
// so the render still sees the whole movie: it ends with a complete movie, and
// the next render of the vanished file is refused.
TEST_F(RenderFaultInWindow, AnInputDeletedWhileReadStillRendersWholeThenIsRefused) {
    const fs::path input = copyToScratch(longClip(), "fault-deleted");
    load(input);
    startTwoPassRender();
    fs::remove(input);
    ASSERT_TRUE(waitForRender());
    ASSERT_FALSE(controller->newVideoPath().isEmpty()) << "the descriptor kept the whole movie readable";
    test::expectSameMovie(longClip(), controller->newVideoPath().toStdString());
    EXPECT_TRUE(dialogs.alerts.empty());

    controller->UpdateImageEffect();  // back to the still preview
    ASSERT_TRUE(settle());
    controller->OnGeneratePreview();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text, kCouldNotGenerate);
}

TEST_F(RenderFaultInWindow, RemovingTheTemporaryDirectoryFailsTheRenderAndTheNextOneWorks) {
    load(longClip());
    startTwoPassRender();
    fs::remove_all(directory.path());
    ASSERT_TRUE(waitForRender());
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text, kCouldNotGenerate);
    EXPECT_TRUE(test::entryCount(directory.path()) == 0);

    outlet<QCheckBox>("checkBlur")->setChecked(false);
    controller->OnGeneratePreview();
    ASSERT_TRUE(waitForRender());
    EXPECT_FALSE(controller->newVideoPath().isEmpty()) << "the private directory is made again";
    EXPECT_EQ(dialogs.alerts.size(), 1u);
}

// Renders `input` with sepia and blur with tintreel-render into the scratch
// directory `name`, doing `act` once `actAfter` shows; expects exit status 1
// with the failure line, no OUTPUT and an empty runtime directory.
void expectProgramFailure(const fs::path& input, const std::string& name, const QString& passes,
                          const std::string& actAfter = "", const std::function<void()>& act = {}) {
    const fs::path dir = test::scratchDirectory(name), runtime = dir / "runtime";
    const fs::path output = dir / ("out" + input.extension().string());
    const test::CliRun run = test::runCli({"--passes", passes, "-o", test::q(output), "--set", "checkSepia=1",
                                           "--set", "checkBlur=1", test::q(input)},
                                          runtime, actAfter, act);
    ASSERT_TRUE(test::endedOnItsOwn(run));
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_NE(run.errors.find("Could not generate preview."), std::string::npos) << run.errors;
    EXPECT_FALSE(fs::exists(output));
    EXPECT_EQ(test::entryCount(dir), 1) << "only the runtime directory stays";
    EXPECT_EQ(test::entryCount(runtime), 0) << "the private directory was left behind";
}

// A full disk in either pass mode, an input truncated while it is read, and
// the private directory removed under the per-effect passes (the one pass
// writes beside OUTPUT).
TEST(RenderFaultInProgram, AFullDiskATruncatedInputOrARemovedTemporaryDirectoryExitWithStatusOne) {
    const fs::path clip = test::healthyClip();
    for (const char* passes : {"one", "each"}) {
        const test::FileSizeLimit full(4096);  // the program inherits it, and SIGXFSZ ignored
        expectProgramFailure(clip, std::string("fault-cli-full-") + passes, passes);
    }
    const fs::path input = copyToScratch(longClip(), "fault-cli-truncated-input");
    expectProgramFailure(input, "fault-cli-truncated", "one", "Sepia",  // in the label of either pass mode
                         [&] { fs::resize_file(input, fs::file_size(input) / 5); });
    const fs::path runtime = test::scratchDirectory("fault-cli-removed") / "runtime";
    expectProgramFailure(longClip(), "fault-cli-removed", "each", "Applying Sepia Effect", [&] {
        for (const auto& entry : fs::directory_iterator(runtime)) fs::remove_all(entry);
    });
}

}  // namespace
}  // namespace tintreel
