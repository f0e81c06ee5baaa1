#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <fstream>
#include <functional>
#include <random>

#include "app/RenderPreferences.h"
#include "platform/media/MovieSource.h"
#include "platform/system/Log.h"
#include "platform/ui/FloatSlider.h"
#include "preview/PlayerView.h"
#include "preview/PreviewArea.h"
#include "preview/VideoImageView.h"
#include "render/SettingsManager.h"
#include "settings/ControlCatalogue.h"
#include "settings/ProgressText.h"
#include "support/EditorFixture.h"
#include "support/FileSizeLimit.h"

namespace tintreel {
namespace {

class RenderFromWindowTest : public EditorFixture {
protected:
    QPushButton* previewButton() const { return outlet<QPushButton>("buttonGeneratePreview"); }
    QString label() const { return outlet<QLabel>("labelProgress")->text(); }

    // Posts a progress notification with the two documented keys alone, from
    // another thread, as a render pass does.
    void postProgress(float progress, float effect) {
        std::thread([=] {
            NotificationCenter::defaultCenter().post("UpdateProgress",
                                                     UserInfo{{"progress", progress}, {"effect", effect}});
        }).join();
        QCoreApplication::processEvents();
    }

    // Saves the rendered movie as `path` through the save panel and waits
    // for the save, which runs off the GUI thread, to end.
    bool saveMovieAs(const std::filesystem::path& path) {
        dialogs.savePaths.push_back(QString::fromStdString(path.string()));
        QSignalSpy ended(controller, &ViewController::saveFinished);
        controller->OnSaveVideo();
        return ended.count() > 0 || ended.wait(60000);
    }

    // saveMovieAs, returning how many "Remove failed" and "Copy failed" lines it printed.
    std::pair<int, int> saveAs(const std::filesystem::path& path) {
        const ScopedLogCapture out;
        EXPECT_TRUE(saveMovieAs(path));
        return {out.countStartingWith("Remove failed: "), out.countStartingWith("Copy failed: ")};
    }

    // A cancelled render: the button ready again, nothing to save, nothing left behind.
    void expectCancelledAndClean() {
        EXPECT_EQ(previewButton()->text(), "Generate Preview");
        EXPECT_TRUE(previewButton()->isEnabled());
        EXPECT_FALSE(outlets().find("buttonSaveVideo")->isEnabled());
        EXPECT_TRUE(std::filesystem::is_empty(directory.path()));
        EXPECT_FALSE(SettingsManager::shared().generatePreviewCanceledByUser);
    }

    bool waitForRender(int timeoutMs = 60000) {
        QSignalSpy finished(controller, &ViewController::renderFinished);
        return finished.count() > 0 || finished.wait(timeoutMs);
    }

    // A 3-second 1280x720 clip with a tone, big enough that a pass lasts a while.
    static std::filesystem::path longerClip() {
        return test::makeClip(
            "-f lavfi -i testsrc2=s=1280x720:r=30:d=3 -f lavfi -i sine=f=440:d=3 -pix_fmt yuv420p "
            "-c:v libx264 -preset ultrafast -c:a aac -shortest",
            "mov");
    }
};

TEST_F(RenderFromWindowTest, ProgressLabelsFormatOnTheGuiThreadInPostingOrder) {
    postProgress(0.0f, 1);
    EXPECT_EQ(label(), "Adjusting Brightness... 0.0%");
    EXPECT_FALSE(outlets().find("labelProgress")->isHidden());
    postProgress(0.12345f, 9);
    EXPECT_EQ(label(), "Applying Sepia Effect... 12.3%");
    postProgress(0.5f, 28);
    EXPECT_EQ(label(), "Applying Sepia Effect... 12.3%");  // an unknown code keeps the text

    std::thread poster([] {
        for (int i = 0; i <= 200; ++i)
            NotificationCenter::defaultCenter().post(
                "UpdateProgress",
                UserInfo{{"progress", i / 400.0f}, {"effect", static_cast<float>(1 + i % 26)}});
    });
    poster.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(label(), "Applying Zoom Blur Effect... 50.0%");  // the last one: i = 200, code 19
}

// At the window's default size, a one-pass render of many effects keeps its
// percentage, speed and time left in view: the step names give way, and the
// whole label is the tooltip. The pass counter shows only with passes to count.
TEST_F(RenderFromWindowTest, ALongLabelFitsByShorteningTheNamesNotTheNumbers) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    RenderProgress report;
    report.steps = {"Brightness", "Contrast", "Sepia",        "Cartoon",        "Oil Painting",   "Vignette",
                    "Blur",       "Swirl",    "Glass Sphere", "Text Watermark", "Image Watermark"};
    report.fraction = 0.425f;
    report.framesPerSecond = 31.0;
    report.secondsLeft = 45.0;
    const auto post = [&] {
        std::thread([&] { tintreel::postProgress(NotificationCenter::defaultCenter(), report); }).join();
        QCoreApplication::processEvents();
    };
    auto* text = outlet<QLabel>("labelProgress");
    const auto fits = [text] {
        return text->fontMetrics().horizontalAdvance(text->text()) <= text->contentsRect().width();
    };
    post();
    const std::string whole = progressLabel(report);
    EXPECT_EQ(text->toolTip().toStdString(), whole);
    EXPECT_NE(label().toStdString(), whole);
    EXPECT_TRUE(label().startsWith("Rendering")) << label().toStdString();
    EXPECT_TRUE(label().endsWith("42.5% · 31 fps · 0:45 left")) << label().toStdString();
    EXPECT_TRUE(fits()) << label().toStdString() << " in " << text->contentsRect().width() << " pixels";
    EXPECT_TRUE(outlets().find("labelPass")->isHidden());

    // At the smallest window the label still ends in the numbers; wider, it says more.
    window.resize(window.minimumSize());
    QCoreApplication::processEvents();
    EXPECT_TRUE(label().endsWith("42.5% · 31 fps · 0:45 left")) << label().toStdString();
    EXPECT_TRUE(fits()) << label().toStdString();
    const QString narrow = label();
    window.resize(2400, 800);
    QCoreApplication::processEvents();
    EXPECT_GT(label().size(), narrow.size());
    EXPECT_TRUE(fits()) << label().toStdString();

    report.pass = 2;
    report.passCount = 3;
    report.effect = EffectCode::GlassSphere;
    post();
    EXPECT_EQ(outlet<QLabel>("labelPass")->text(), "2 / 3");
    EXPECT_FALSE(outlets().find("labelPass")->isHidden());
    EXPECT_EQ(label(), "Applying Glass Sphere Effect... 42.5% · 31 fps · 0:45 left");
}

TEST_F(RenderFromWindowTest, GeneratePreviewChecksTheVideoAndItsDimensions) {
    controller->OnGeneratePreview();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text, "There is no video selected. Please select a video and try again.");

    load(test::makeClip("-f lavfi -i testsrc2=s=854x480:r=10:d=1 -pix_fmt yuv420p -c:v libx264", "mp4"));
    outlet<QCheckBox>("checkImageWatermark")->setChecked(true);
    dialogs.answers.push_back(false);
    controller->OnGeneratePreview();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(dialogs.questions[0].startsWith("The current video does not have standard dimensions"));
    EXPECT_EQ(previewButton()->text(), "Generate Preview");
    EXPECT_TRUE(outlets().find("sliderBrightness")->isEnabled());

    outlet<QCheckBox>("checkImageWatermark")->setChecked(false);
    controller->OnGeneratePreview();  // no watermark: no question
    EXPECT_EQ(dialogs.questions.size(), 1u);
    ASSERT_TRUE(waitForRender());

    load(test::makeClip("-f lavfi -i testsrc2=s=1920x1080:r=10:d=1 -pix_fmt yuv420p -c:v libx264", "mp4"));
    outlet<QCheckBox>("checkTextWatermark")->setChecked(true);
    controller->OnGeneratePreview();  // 1920 is a multiple of 16: no question
    EXPECT_EQ(dialogs.questions.size(), 1u);
    ASSERT_TRUE(waitForRender());
}

// One pass by default: one label naming every step and no pass counter;
// each effect in its own pass counts them. A cancel, in one pass or in the
// second of three, ends the render at once, leaving nothing behind. Whether a
// render runs is the controller's own state; the preview button only shows
// it: a caption changed behind its back decides nothing, and each transition
// puts the caption and the button's enabled state right again.
TEST_F(RenderFromWindowTest, ACancelInOnePassOrInTheSecondOfThreeLeavesNothingBehind) {
    load(longerClip());
    ASSERT_FALSE(window.command("OnRenderEachEffectInItsOwnPass")->isChecked());
    outlet<FloatSlider>("sliderBrightness")->setFloatValue(0.2f);
    outlet<QCheckBox>("checkSepia")->setChecked(true);
    outlet<QCheckBox>("checkOilPainting")->setChecked(true);
    controller->OnGeneratePreview();
    ASSERT_TRUE(QTest::qWaitFor([&] { return label().startsWith("Rendering: "); }, 20000))
        << label().toStdString();
    EXPECT_TRUE(outlet<QLabel>("labelProgress")
                    ->toolTip()
                    .startsWith("Rendering: Brightness, Sepia, Oil Painting... "))
        << outlet<QLabel>("labelProgress")->toolTip().toStdString();
    EXPECT_TRUE(outlets().find("labelPass")->isHidden());  // one pass: nothing to count
    EXPECT_EQ(controller->renderState(), RenderState::Rendering);
    EXPECT_FALSE(window.command("OnFileNew")->isEnabled());

    previewButton()->setText("Generate Preview");
    controller->OnGeneratePreview();  // still a cancel, whatever the caption says
    EXPECT_EQ(controller->renderState(), RenderState::Cancelling);
    EXPECT_EQ(previewButton()->text(), "Cancelling...");
    EXPECT_FALSE(previewButton()->isEnabled());

    previewButton()->setText("Cancel");
    ASSERT_TRUE(waitForRender(10000));
    EXPECT_EQ(controller->renderState(), RenderState::Idle);
    EXPECT_TRUE(controller->newVideoPath().isEmpty());
    expectCancelledAndClean();
    EXPECT_TRUE(window.command("OnFileNew")->isEnabled());

    // The menu's choice, which the window remembers for the next run.
    window.command("OnRenderEachEffectInItsOwnPass")->trigger();
    EXPECT_EQ(controller->passMode(), PassMode::Each);
    EXPECT_EQ(QSettings().value("render/eachEffectInItsOwnPass").toBool(), true);
    outlet<QCheckBox>("checkOilPainting")->setChecked(false);
    outlet<QCheckBox>("checkBlur")->setChecked(true);
    QLabel* passes = outlet<QLabel>("labelPass");
    controller->OnGeneratePreview();
    ASSERT_TRUE(QTest::qWaitFor([&] { return passes->text() == "2 / 3"; }, 60000))
        << passes->text().toStdString();
    EXPECT_TRUE(label().startsWith("Applying Sepia Effect... ")) << label().toStdString();
    controller->OnGeneratePreview();
    EXPECT_EQ(previewButton()->text(), "Cancelling...");
    EXPECT_FALSE(previewButton()->isEnabled());
    ASSERT_TRUE(waitForRender(10000));

    expectCancelledAndClean();
    EXPECT_TRUE(outlets().find("labelProgress")->isHidden());
    EXPECT_TRUE(outlets().find("sliderBrightness")->isEnabled());
    EXPECT_TRUE(dialogs.alerts.empty());
    window.command("OnRenderEachEffectInItsOwnPass")->trigger();
    EXPECT_EQ(controller->passMode(), PassMode::One);
}

TEST_F(RenderFromWindowTest, TwentyCancelsAtRandomMomentsLeaveNothingBehind) {
    load(longerClip());
    outlet<QCheckBox>("checkSepia")->setChecked(true);
    outlet<QCheckBox>("checkBlur")->setChecked(true);
    std::mt19937 random(20261206);
    int cancelled = 0;
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(previewButton()->isEnabled()) << "round " << round;
        QSignalSpy finished(controller, &ViewController::renderFinished);
        controller->OnGeneratePreview();
        QTest::qWait(std::uniform_int_distribution<int>(0, 1500)(random));
        if (controller->isRendering()) {
            controller->OnGeneratePreview();
            ++cancelled;
        }
        ASSERT_TRUE(finished.count() > 0 || finished.wait(30000)) << "round " << round;
        if (controller->newVideoPath().isEmpty()) {
            EXPECT_TRUE(std::filesystem::is_empty(directory.path())) << "round " << round;
        } else {  // finished before the cancel: back to the still preview for the next round
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.path()), {}), 1);
            controller->UpdateImageEffect();
            ASSERT_TRUE(settle());
        }
        EXPECT_EQ(previewButton()->text(), "Generate Preview");
        EXPECT_TRUE(outlets().find("sliderBrightness")->isEnabled());
        EXPECT_FALSE(SettingsManager::shared().generatePreviewCanceledByUser);
    }
    EXPECT_GE(cancelled, 5);  // most rounds are still running when the cancel comes
    EXPECT_TRUE(dialogs.alerts.empty());
}

// A full render ends in the player with Save enabled. Closing the window and
// Quit ask while a render runs or its movie is not saved; "No" leaves
// everything as it was, the render running or the movie kept. A saved movie
// is not asked about, and "Yes" cancels and cleans up.
TEST_F(RenderFromWindowTest, AFullRenderEndsInThePlayerAndCloseAndQuitAskWhileWorkWouldBeLost) {
    const QString running = "A preview render is still running. Do you want to cancel it and quit?";
    const QString unsaved = "The rendered preview has not been saved. Do you want to quit without saving it?";
    window.show();
    load(longerClip());
    outlet<QCheckBox>("checkSepia")->setChecked(true);
    // The render reads what the load's probe found and opens the movie once, to read it.
    const long long loaded = inputOpenCount(longerClip());
    controller->OnGeneratePreview();
    EXPECT_EQ(previewButton()->text(), "Cancel");
    EXPECT_TRUE(previewButton()->isEnabled());
    EXPECT_FALSE(outlets().find("sliderBrightness")->isEnabled());
    EXPECT_FALSE(window.command("OnFileNew")->isEnabled());
    for (const auto& refuse :
         {std::function<bool()>([&] { return window.close(); }), std::function<bool()>([&] {
              window.command("OnAppQuit")->trigger();
              return !window.isVisible();
          })}) {
        EXPECT_FALSE(refuse());
        ASSERT_FALSE(dialogs.questions.empty());
        EXPECT_EQ(dialogs.questions.back(), running);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(controller->renderState(), RenderState::Rendering);
    }
    ASSERT_TRUE(waitForRender());

    EXPECT_EQ(previewButton()->text(), "Generate Preview");
    EXPECT_FALSE(previewButton()->isEnabled());
    EXPECT_FALSE(outlets().find("playerViewVideo")->isHidden());
    EXPECT_TRUE(outlets().find("imageViewVideo")->isHidden());
    EXPECT_TRUE(outlets().find("labelProgress")->isHidden());
    EXPECT_EQ(controller->newVideoPath(), QString::fromStdString((directory.path() / "movie.mov").string()));
    EXPECT_EQ(outlet<PlayerView>("playerViewVideo")->movie(), controller->newVideoPath());
    EXPECT_EQ(inputOpenCount(longerClip()) - loaded, 1);
    test::expectSameMovie(longerClip(), directory.path() / "movie.mov");
    EXPECT_TRUE(dialogs.alerts.empty());
    const QString movie = controller->newVideoPath();
    ASSERT_FALSE(movie.isEmpty());
    EXPECT_FALSE(window.close());
    EXPECT_EQ(dialogs.questions.back(), unsaved);
    EXPECT_EQ(controller->newVideoPath(), movie);
    EXPECT_TRUE(std::filesystem::exists(movie.toStdString()));
    EXPECT_TRUE(outlets().find("buttonSaveVideo")->isEnabled());
    EXPECT_EQ(dialogs.questions.size(), 3u);

    ASSERT_TRUE(saveMovieAs(test::scratchDirectory("close-saved") / "kept.mov"));
    EXPECT_TRUE(window.close());
    EXPECT_EQ(dialogs.questions.size(), 3u);
    EXPECT_TRUE(std::filesystem::is_empty(directory.path()));

    window.show();
    controller->OnGeneratePreview();
    dialogs.answers.push_back(true);
    EXPECT_TRUE(window.close());
    EXPECT_EQ(dialogs.questions.back(), running);
    EXPECT_TRUE(std::filesystem::is_empty(directory.path()));
    ASSERT_TRUE(waitForRender(10000));
    EXPECT_FALSE(SettingsManager::shared().generatePreviewCanceledByUser);
}

// After a render the first change forgets the rendered movie and brings the
// still back as it was before the render, every time: the same zoom and pan,
// the picture neither cut nor enlarged.
TEST_F(RenderFromWindowTest, TheStillComesBackAsItWasBeforeTheRender) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    load(clip());
    for (const char* effect : {"checkSepia", "checkOilPainting", "checkVignette", "checkBlur"})
        outlet<QCheckBox>(effect)->setChecked(true);
    auto* area = outlet<PreviewArea>("customViewImage");
    auto* view = outlet<VideoImageView>("imageViewVideo");
    controller->OnZoomIn();
    controller->OnZoomIn();
    area->pan({-15, -10});
    const QSize areaBefore = area->size();
    const QRect viewBefore = view->geometry();
    const QRect pictureBefore = view->pictureRect();
    auto* brightness = outlet<FloatSlider>("sliderBrightness");
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        controller->OnGeneratePreview();
        ASSERT_TRUE(waitForRender());
        ASSERT_FALSE(outlets().find("playerViewVideo")->isHidden());
        brightness->setFloatValueByUser(0.05f * round);
        ASSERT_TRUE(settle());
        QCoreApplication::processEvents();  // any layout the switch asked for
        ASSERT_TRUE(outlets().find("playerViewVideo")->isHidden());
        EXPECT_TRUE(controller->newVideoPath().isEmpty()) << "the rendered movie is forgotten";
        EXPECT_TRUE(previewButton()->isEnabled());
        EXPECT_FALSE(outlets().find("buttonSaveVideo")->isEnabled());
        EXPECT_EQ(area->size(), areaBefore);
        EXPECT_EQ(view->geometry(), viewBefore);
        EXPECT_EQ(view->pictureRect(), pictureBefore);
    }
}

TEST_F(RenderFromWindowTest, SavingCopiesNewReplacesExistingAndNeverLosesTheOldFile) {
    load(clip());
    controller->OnSaveVideo();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text,
              "There is no video to save. Please generate a video preview and try again.");

    // A cancel flag left over from a finished render does not cancel this one.
    SettingsManager::shared().generatePreviewCanceledByUser = true;
    controller->OnGeneratePreview();
    ASSERT_TRUE(waitForRender());
    SettingsManager::shared().generatePreviewCanceledByUser = false;
    ASSERT_FALSE(outlets().find("playerViewVideo")->isHidden()) << "the render succeeded";
    const auto dir = test::scratchDirectory("render-save");
    const auto rendered = std::filesystem::file_size(controller->newVideoPath().toStdString());

    EXPECT_EQ(saveAs(dir / "new.mp4").first, 0);  // nothing was there to remove
    // The panel opens beside the source video.
    EXPECT_EQ(dialogs.suggestedNames.back(),
              QString::fromStdString((clip().parent_path() / clip().stem()).string()) + "_processed.mp4");
    EXPECT_EQ(dialogs.alerts.back().text, "Video saved successfully.");
    EXPECT_EQ(dialogs.alerts.back().style, AlertStyle::Informational);
    EXPECT_EQ(std::filesystem::file_size(dir / "new.mp4"), rendered);

    std::ofstream(dir / "old.mp4") << "an older file";
    EXPECT_EQ(saveAs(dir / "old.mp4").first, 0);
    EXPECT_EQ(std::filesystem::file_size(dir / "old.mp4"), rendered);

    // A folder that does not exist: the copy's line, the failure alert.
    EXPECT_EQ(saveAs(dir / "missing" / "x.mp4"), std::make_pair(0, 1));
    EXPECT_EQ(dialogs.alerts.back().text, "Could not save the video.");

    // The disk fills up half-way through the copy (a file-size limit stands in
    // for it): the file that was there before is still whole.
    std::ofstream(dir / "keep.mp4") << "keep me";
    {
        const test::FileSizeLimit full(4096);
        EXPECT_EQ(saveAs(dir / "keep.mp4").second, 1);
    }
    EXPECT_EQ(dialogs.alerts.back().text, "Could not save the video.");
    std::ifstream kept(dir / "keep.mp4");
    // (That no partial copy is left beside it is AtomicFileTest's.)
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");
}

// Saving as an animated picture runs off the GUI thread: OnSaveVideo comes
// back at once, the event loop keeps turning, the window shows the save and
// is switched off as for a render, and a second save does not start. A
// folder that is not there is an alert and no file; a cancel, from the
// preview button or by closing the window, leaves nothing behind.
TEST_F(RenderFromWindowTest, SavingAnAnimationKeepsTheWindowResponsiveAndCancelsCleanly) {
    namespace fs = std::filesystem;
    const fs::path source = test::makeClip(
        "-f lavfi -i testsrc2=s=640x360:r=30:d=4 -pix_fmt yuv420p -c:v libx264 -preset ultrafast", "mov");
    const fs::path dir = test::scratchDirectory("window-save-animation");
    window.show();
    load(source);
    controller->OnGeneratePreview();
    ASSERT_TRUE(waitForRender());
    QSignalSpy ended(controller, &ViewController::saveFinished);
    const auto startSave = [&](const fs::path& path) {
        ended.clear();
        dialogs.savePaths.push_back(QString::fromStdString(path.string()));
        controller->OnSaveVideo();
    };

    int ticks = 0, ticksWhenSaved = -1;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    QObject::connect(controller, &ViewController::saveFinished, &timer, [&] { ticksWhenSaved = ticks; });
    timer.start(1);
    startSave(dir / "saved.gif");
    EXPECT_EQ(controller->renderState(), RenderState::Saving);
    EXPECT_EQ(label(), "Saving saved.gif...");
    EXPECT_EQ(previewButton()->text(), "Cancel");
    EXPECT_FALSE(outlets().find("sliderBrightness")->isEnabled());
    EXPECT_FALSE(outlets().find("buttonSaveVideo")->isEnabled());
    EXPECT_FALSE(window.command("OnSaveVideo")->isEnabled());
    EXPECT_FALSE(window.command("OnFileNew")->isEnabled());
    const std::size_t panels = dialogs.suggestedNames.size();
    controller->OnSaveVideo();
    EXPECT_EQ(dialogs.suggestedNames.size(), panels) << "a second save asked for a name";
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_GT(ticksWhenSaved, 0) << "the event loop stood still during the save";
    EXPECT_TRUE(ended.at(0).at(0).toBool());
    ASSERT_FALSE(dialogs.alerts.empty());
    EXPECT_EQ(dialogs.alerts.back().text, "Video saved successfully.");
    EXPECT_EQ(controller->renderState(), RenderState::Idle);
    EXPECT_TRUE(outlets().find("sliderBrightness")->isEnabled());
    EXPECT_TRUE(outlets().find("buttonSaveVideo")->isEnabled());
    EXPECT_TRUE(outlets().find("labelProgress")->isHidden());
    const auto gif = test::probeStream(dir / "saved.gif", "v:0");
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->codec, "gif");
    EXPECT_EQ(gif->frames, 60);  // 4 s at the 15 fps cap
    EXPECT_EQ(gif->width, 480);  // 640 wide capped at 480, the shape kept
    EXPECT_EQ(gif->height, 270);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    // A folder that is not there: the alert says why, and nothing is written.
    const std::size_t alerts = dialogs.alerts.size();
    startSave(dir / "missing" / "x.gif");
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_FALSE(ended.at(0).at(0).toBool());
    ASSERT_EQ(dialogs.alerts.size(), alerts + 1);
    EXPECT_EQ(dialogs.alerts.back().text, "Could not save the video.");
    EXPECT_FALSE(dialogs.alerts.back().detail.isEmpty());
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    // The preview button cancels the save: no alert, no file, the window back.
    startSave(dir / "cancelled.webp");
    ASSERT_EQ(controller->renderState(), RenderState::Saving);
    controller->OnGeneratePreview();
    EXPECT_EQ(previewButton()->text(), "Cancelling...");
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_FALSE(ended.at(0).at(0).toBool());
    EXPECT_EQ(dialogs.alerts.size(), alerts + 1);
    EXPECT_TRUE(outlets().find("buttonSaveVideo")->isEnabled());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    // Closing the window asks, then cancels the save and waits for it.
    startSave(dir / "closed.gif");
    dialogs.answers.push_back(true);
    EXPECT_TRUE(window.close());
    EXPECT_EQ(dialogs.questions.back(),
              "The video is still being saved. Do you want to cancel the save and quit?");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_empty(directory.path()));
    ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
    EXPECT_FALSE(ended.at(0).at(0).toBool());
    EXPECT_EQ(dialogs.alerts.size(), alerts + 1);
}

// The Render menu's settings shape the movie; saving under another
// extension re-muxes into that container, and only containers that hold the
// movie's video are offered.
TEST_F(RenderFromWindowTest, RenderSettingsShapeTheMovieAndSavingReMuxesIntoTheNamedContainer) {
    namespace fs = std::filesystem;
    const fs::path source = test::makeClip(
        "-f lavfi -i testsrc2=s=320x240:r=10:d=2 -f lavfi -i sine=f=440:d=2 -pix_fmt yuv420p -c:v libx264 "
        "-c:a aac -shortest",
        "mov");
    const fs::path dir = test::scratchDirectory("window-render-settings");
    load(source);
    const RenderSettings h265{.codec = VideoCodec::H265, .maxHeight = 120};
    dialogs.renderSettingsAnswers.push_back(h265);
    window.findChild<QAction*>("OnRenderSettings")->trigger();
    EXPECT_EQ(controller->renderSettings(), h265);
    EXPECT_EQ(savedRenderSettings(), h265);

    // No effect, but a codec and a size asked: encoded, in the input's container, which holds H.265.
    controller->OnGeneratePreview();
    ASSERT_TRUE(waitForRender());
    const fs::path movie = controller->newVideoPath().toStdString();
    EXPECT_EQ(movie.extension(), ".mov");
    const auto video = test::probeStream(movie, "v:0");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->codec, "hevc");
    EXPECT_EQ(video->width, 160);
    EXPECT_EQ(video->height, 120);
    EXPECT_EQ(video->frames, 20);

    ASSERT_TRUE(saveMovieAs(dir / "saved.mkv"));
    // The containers that hold the video, then the animated pictures made from it.
    EXPECT_EQ(dialogs.savedWith.back(), (QStringList{"mov", "mp4", "mkv", "gif", "webp"}));
    ASSERT_EQ(dialogs.alerts.back().text, "Video saved successfully.");
    EXPECT_EQ(test::runCommand("ffprobe -v error -show_entries format=format_name -of default=nw=1:nk=1 " +
                               (dir / "saved.mkv").string()),
              "matroska,webm\n");
    EXPECT_EQ(test::probeStream(dir / "saved.mkv", "v:0")->codec, "hevc");
    EXPECT_EQ(test::probeStream(dir / "saved.mkv", "v:0")->frames, 20);
    EXPECT_EQ(test::probeStream(dir / "saved.mkv", "a:0")->packets, test::probeStream(movie, "a:0")->packets);
    // Saved as a GIF: the picture alone, at the default caps (this movie is under both).
    ASSERT_TRUE(saveMovieAs(dir / "saved.gif"));
    ASSERT_EQ(dialogs.alerts.back().text, "Video saved successfully.");
    const auto gif = test::probeStream(dir / "saved.gif", "v:0");
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->codec, "gif");
    EXPECT_EQ(gif->width, 160);
    EXPECT_EQ(gif->frames, 20);
    EXPECT_FALSE(test::probeStream(dir / "saved.gif", "a:0"));
    fs::remove(dir / "saved.gif");

    // WebM cannot hold H.265: nothing is written.
    ASSERT_TRUE(saveMovieAs(dir / "saved.webm"));
    EXPECT_EQ(dialogs.alerts.back().text, "Could not save the video.");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    // AV1 (rendered into MP4: QuickTime files do not take it) saved as WebM:
    // the video copied, the AAC re-encoded as Opus.
    dialogs.renderSettingsAnswers.push_back(RenderSettings{.codec = VideoCodec::AV1});
    ASSERT_TRUE(controller->OnRenderSettings());
    controller->OnGeneratePreview();
    ASSERT_TRUE(waitForRender());
    const fs::path av1 = controller->newVideoPath().toStdString();
    EXPECT_EQ(av1.extension(), ".mp4");
    ASSERT_TRUE(saveMovieAs(dir / "av1.webm"));
    EXPECT_TRUE(dialogs.savedWith.back().contains("webm"));
    ASSERT_EQ(dialogs.alerts.back().text, "Video saved successfully.");
    EXPECT_EQ(test::probeStream(dir / "av1.webm", "v:0")->codec, "av1");
    EXPECT_EQ(test::probeStream(dir / "av1.webm", "v:0")->frames, test::probeStream(av1, "v:0")->frames);
    EXPECT_EQ(test::probeStream(dir / "av1.webm", "a:0")->codec, "opus");
}

}  // namespace
}  // namespace tintreel
