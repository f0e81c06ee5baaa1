// The Batch Render window: rows from files and folders, a batch with a saved
// profile that says how each video went, the checks that refuse a batch
// before it starts, cancelling from the window, the shared render limit,
// and the main window's command and close question.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <fstream>

#include "batch/BatchWindow.h"
#include "render/RenderFixtures.h"
#include "render/RenderSlots.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

class BatchWindowTest : public EditorFixture {
protected:
    BatchWindowTest() : inputs(*TemporaryDirectory::create()), outputs(*TemporaryDirectory::create()) {
        batch = window.batchWindow();
        RenderSlots::shared().setLimit(1);
    }

    template <typename W>
    W* child(const char* name) const {
        W* widget = batch->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QTableWidget* table() const { return child<QTableWidget>("tableBatchVideos"); }
    QString stateOf(int row) const { return table()->item(row, 1)->text(); }
    QString videoOf(int row) const { return table()->item(row, 0)->text(); }

    // A copy of a short generated clip in the inputs folder under `name`.
    fs::path video(const std::string& name, const fs::path& folder = {}) {
        static const fs::path clip =
            test::makeClip("-f lavfi -i testsrc2=s=160x90:r=25:d=1 -pix_fmt yuv420p -c:v libx264", "mp4");
        const fs::path copy = (folder.empty() ? inputs.path() : folder) / name;
        fs::copy_file(clip, copy);
        return copy;
    }

    bool runToTheEnd(int timeoutMs = 120000) {
        QSignalSpy finished(batch, &BatchWindow::batchFinished);
        child<QPushButton>("buttonStartBatch")->click();
        return batch->isRunning() && finished.wait(timeoutMs);
    }

    // A saved profile that turns the pictures gray, chosen as the batch's look.
    fs::path useGrayProfile() {
        EffectSettings gray = defaultEffectSettings();
        gray.checkBlackWhite = 1;
        const fs::path profile = inputs.path() / "gray.tintreel";
        { std::ofstream(profile) << renderSettingsRecord(gray); }
        dialogs.openPaths.push_back(QString::fromStdString(profile.string()));
        child<QPushButton>("buttonBatchProfile")->click();
        return profile;
    }

    void useOutputFolder() {
        child<QLineEdit>("textFieldBatchFolder")->setText(QString::fromStdString(outputs.path().string()));
    }

    TemporaryDirectory inputs;
    TemporaryDirectory outputs;
    BatchWindow* batch = nullptr;
};

TEST_F(BatchWindowTest, FilesAndFoldersGiveOneRowPerVideoOnce) {
    video("b.mp4");
    video("a.mp4");
    fs::create_directory(inputs.path() / "sub");
    video("c.mp4", inputs.path() / "sub");
    { std::ofstream(inputs.path() / "notes.txt") << "text"; }
    const QString folder = QString::fromStdString(inputs.path().string());

    dialogs.folders.push_back(folder);
    child<QPushButton>("buttonAddFolder")->click();
    ASSERT_EQ(table()->rowCount(), 2)
        << "only the folder's own videos, not its subfolder's nor the text file";
    EXPECT_EQ(videoOf(0), "a.mp4");
    EXPECT_EQ(videoOf(1), "b.mp4");
    EXPECT_EQ(stateOf(0), "Waiting");

    child<QCheckBox>("checkBatchSubfolders")->setChecked(true);
    batch->addInputs({folder});
    ASSERT_EQ(table()->rowCount(), 3) << "a video already listed is not listed twice";
    EXPECT_EQ(videoOf(2), "c.mp4");

    dialogs.openPathLists.push_back(QStringList{folder + "/notes.txt"});
    child<QPushButton>("buttonAddVideos")->click();
    EXPECT_EQ(table()->rowCount(), 3);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts.back().text.contains("notes.txt"));

    table()->selectRow(0);
    child<QPushButton>("buttonRemoveVideos")->click();
    ASSERT_EQ(table()->rowCount(), 2);
    EXPECT_EQ(videoOf(0), "b.mp4");
    child<QPushButton>("buttonClearVideos")->click();
    EXPECT_EQ(table()->rowCount(), 0);
    EXPECT_FALSE(child<QPushButton>("buttonStartBatch")->isEnabled()) << "nothing to start";
}

TEST_F(BatchWindowTest, ABatchAppliesTheProfileToEveryVideoAndSaysHowEachWent) {
    const fs::path broken = inputs.path() / "broken.mov";
    { std::ofstream(broken) << "not a movie"; }
    batch->addInputs({QString::fromStdString(video("one.mp4").string()),
                      QString::fromStdString(broken.string()),
                      QString::fromStdString(video("two.mp4").string())});
    useGrayProfile();
    EXPECT_EQ(child<QComboBox>("comboBatchLook")->currentIndex(), 1);
    EXPECT_EQ(child<QLabel>("labelBatchProfile")->text(), "gray.tintreel");
    child<QLineEdit>("textFieldBatchName")->setText("{n}_{name}_gray");
    useOutputFolder();
    child<QSpinBox>("spinBatchJobs")->setValue(2);

    ASSERT_TRUE(runToTheEnd());
    EXPECT_FALSE(batch->isRunning());
    EXPECT_EQ(stateOf(0), "Done");
    EXPECT_EQ(stateOf(1), "Failed");
    EXPECT_FALSE(table()->item(1, 1)->toolTip().isEmpty()) << "the failed row says why";
    EXPECT_EQ(stateOf(2), "Done");
    EXPECT_EQ(static_cast<QProgressBar*>(table()->cellWidget(0, 2))->value(), 1000);
    EXPECT_EQ(batch->summary().toStdString(),
              "2 done, 0 skipped, 1 failed, 0 cancelled; failed: " + broken.string());
    EXPECT_EQ(test::entriesOf(outputs.path()),
              (std::vector<std::string>{"1_one_gray.mp4", "3_two_gray.mp4"}));

    const std::optional<Image> frame = test::ffmpegFrame(outputs.path() / "3_two_gray.mp4", 0.5);
    ASSERT_TRUE(frame);
    const std::uint8_t* p =
        frame->pixel(frame->width() / 8, frame->height() / 3);  // a coloured bar of the source
    EXPECT_NEAR(p[0], p[1], 8);
    EXPECT_NEAR(p[1], p[2], 8);

    // Run again: the outputs are there and skipped, the bad file fails again.
    ASSERT_TRUE(runToTheEnd());
    EXPECT_EQ(stateOf(0), "Skipped");
    EXPECT_TRUE(batch->summary().startsWith("0 done, 2 skipped, 1 failed"));

    // The next window starts with this batch's output choices.
    FakeDialogs otherDialogs;
    BatchWindow next([] { return BatchLook{}; }, otherDialogs);
    EXPECT_EQ(next.findChild<QLineEdit*>("textFieldBatchFolder")->text(),
              QString::fromStdString(outputs.path().string()));
    EXPECT_EQ(next.findChild<QLineEdit*>("textFieldBatchName")->text(), "{n}_{name}_gray");
    EXPECT_EQ(next.findChild<QSpinBox*>("spinBatchJobs")->value(), 2);
}

TEST_F(BatchWindowTest, ABatchThatCannotRunAsItStandsDoesNotStart) {
    batch->addInputs({QString::fromStdString(video("one.mp4").string()),
                      QString::fromStdString(video("two.mp4").string())});
    child<QPushButton>("buttonStartBatch")->click();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts.back().text.contains("output folder"))
        << dialogs.alerts.back().text.toStdString();

    useOutputFolder();
    child<QLineEdit>("textFieldBatchName")->setText("same");
    child<QPushButton>("buttonStartBatch")->click();
    ASSERT_EQ(dialogs.alerts.size(), 2u);
    EXPECT_TRUE(dialogs.alerts.back().text.contains("would both write"));

    child<QLineEdit>("textFieldBatchName")->setText("{size}");
    child<QPushButton>("buttonStartBatch")->click();
    ASSERT_EQ(dialogs.alerts.size(), 3u);
    EXPECT_TRUE(dialogs.alerts.back().text.contains("{size}"));

    // The profile look with no profile chosen.
    child<QLineEdit>("textFieldBatchName")->setText("{name}");
    child<QComboBox>("comboBatchLook")->setCurrentIndex(1);
    child<QPushButton>("buttonStartBatch")->click();
    ASSERT_EQ(dialogs.alerts.size(), 4u);
    EXPECT_FALSE(batch->isRunning());
    EXPECT_TRUE(test::entriesOf(outputs.path()).empty());
}

TEST_F(BatchWindowTest, TheEditorWaitsForASlotWhileTheBatchHoldsThemAll) {
    load(clip());
    std::optional<RenderSlots::Slot> batchJob = RenderSlots::shared().tryAcquire();
    ASSERT_TRUE(batchJob);
    QSignalSpy rendered(controller, &ViewController::renderFinished);
    controller->OnGeneratePreview();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return outlet<QLabel>("labelProgress")->text().startsWith("Waiting for a batch render"); },
        10000));
    EXPECT_EQ(rendered.count(), 0);
    batchJob.reset();
    ASSERT_TRUE(rendered.wait(60000));
    EXPECT_TRUE(rendered.front().at(0).toBool());
}

// Quitting mid-batch asks first, and "No" keeps the batch running; Cancel
// All then stops it and leaves no file.
TEST_F(BatchWindowTest, TheFileMenuOpensItQuittingMidBatchAsksAndCancelAllStopsIt) {
    QAction* command = window.command(QStringLiteral("OnBatchRender"));
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->shortcut(), QKeySequence(QStringLiteral("Ctrl+B")));
    command->trigger();
    EXPECT_TRUE(batch->isVisible());
    EXPECT_EQ(window.batchWindow(), batch) << "one batch window";

    const fs::path longer =
        test::makeClip("-f lavfi -i testsrc2=s=640x360:r=30:d=20 -pix_fmt yuv420p -c:v libx264", "mp4");
    batch->addInputs({QString::fromStdString(longer.string())});
    useGrayProfile();
    useOutputFolder();
    QSignalSpy finished(batch, &BatchWindow::batchFinished);
    child<QPushButton>("buttonStartBatch")->click();
    ASSERT_TRUE(batch->isRunning());
    window.show();
    dialogs.answers.push_back(false);
    window.command(QStringLiteral("OnAppQuit"))->trigger();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(window.isVisible()) << "the user chose to keep the batch";
    EXPECT_TRUE(batch->isRunning());

    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return static_cast<QProgressBar*>(table()->cellWidget(0, 2))->value() > 0; }, 60000));
    EXPECT_EQ(stateOf(0), "Rendering");
    EXPECT_FALSE(child<QPushButton>("buttonAddVideos")->isEnabled()) << "the list is fixed while it runs";
    child<QPushButton>("buttonCancelAll")->click();
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(stateOf(0), "Cancelled");
    EXPECT_EQ(batch->summary(), "0 done, 0 skipped, 0 failed, 1 cancelled");
    EXPECT_FALSE(finished.front().at(0).toBool()) << "a cancelled batch did not all succeed";
    EXPECT_TRUE(test::entriesOf(outputs.path()).empty());
}

}  // namespace
}  // namespace tintreel
