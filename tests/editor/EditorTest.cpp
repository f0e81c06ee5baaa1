#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>
#include <fstream>

#include "imaging/ImageTools.h"
#include "platform/filters/QtImage.h"
#include "platform/media/FrameImage.h"
#include "platform/ui/FloatSlider.h"
#include "platform/ui/Stepper.h"
#include "preview/PreviewArea.h"
#include "preview/VideoImageView.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

class EditorTest : public EditorFixture {
protected:
    QImage expectedImage() const {
        return toQImage(ApplyEffectChain(controller->currentSettings(), *controller->snapshot(),
                                         *controller->logo(), controller->snapshotSeconds()))
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    void click(std::string_view button) { outlet<QAbstractButton>(button)->click(); }
};

// A load shows the first frame, restarts the history and keeps the settings;
// a file without a frame or a cancelled panel leave the editor as it was.
// (Why each kind of file fails, and the alert, are LoadFailureTest's.)
TEST_F(EditorTest, LoadingShowsTheFirstFrameAndAMovieWithoutAFrameChangesNothing) {
    const auto notAMovie = test::scratchDirectory("editor-bad-movie") / "notes.mp4";
    std::ofstream(notAMovie) << "this is not a movie";
    outlet<FloatSlider>("sliderBrightness")->setFloatValue(0.2f);
    load(clip());
    EXPECT_EQ(controller->snapshot()->width(), 320);
    EXPECT_EQ(controller->snapshot()->height(), 240);
    EXPECT_EQ(controller->history().count(), 1);
    EXPECT_EQ(controller->history().currenState, 0);
    EXPECT_TRUE(outlets().find("buttonGeneratePreview")->isEnabled());
    EXPECT_FALSE(outlets().find("buttonSaveVideo")->isEnabled());
    EXPECT_EQ(shownImage(), expectedImage());
    EXPECT_EQ(controller->currentSettings().sliderBrightness, 0.2f);  // a load keeps the settings
    EXPECT_TRUE(dialogs.alerts.empty());

    const QString loaded = controller->videoPath();
    ASSERT_FALSE(loaded.isEmpty());
    load(notAMovie);
    EXPECT_EQ(controller->videoPath(), loaded);
    EXPECT_EQ(controller->snapshot()->width(), 320);
    EXPECT_EQ(dialogs.alerts.size(), 1u);

    dialogs.openPaths.push_back(std::nullopt);  // the panel cancelled: nothing happens
    controller->OnSelectVideo();
    EXPECT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(controller->videoPath(), loaded);
    // The panel offers the movie extensions.
    ASSERT_FALSE(dialogs.openedWith.empty());
    EXPECT_EQ(dialogs.openedWith.back().mid(0, 6), QStringList({"mov", "m4v", "mp4", "3gp", "3g2", "mkv"}));
    EXPECT_TRUE(dialogs.openedWith.back().contains("wmv"));
}

// The first change starts a refresh; the burst behind it collapses into one
// re-run. Both results reach the screen (the first one is overtaken but still
// newer than what was shown), and only the settled one is recorded.
TEST_F(EditorTest, ABurstRecordsOnlyTheSettledValueAndOnlySwitchedOnGroupsRefresh) {
    load(clip());
    const int before = controller->refreshesStarted();
    int shown = 0;
    QObject::connect(controller, &ViewController::previewShown, [&shown] { ++shown; });
    auto* slider = outlet<FloatSlider>("sliderBrightness");
    for (int i = 0; i < 21; ++i) slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->refreshesStarted(), before + 2);
    EXPECT_EQ(shown, 2);
    EXPECT_NEAR(controller->currentSettings().sliderBrightness, 21 * 0.002f, 1e-5);
    EXPECT_EQ(shownImage(), expectedImage());
    EXPECT_EQ(controller->history().count(), 2);  // the loaded frame and the one settled value

    // A parameter refreshes only while its group is on.
    int refreshes = controller->refreshesStarted();
    outlet<FloatSlider>("sliderSepiaIntensity")->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(controller->refreshesStarted(), refreshes);
    click("checkSepia");
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->refreshesStarted(), ++refreshes);
    outlet<FloatSlider>("sliderSepiaIntensity")->triggerAction(QAbstractSlider::SliderSingleStepSub);
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->refreshesStarted(), ++refreshes);
    click("checkSepia");  // switching off refreshes too, and the effect disappears
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->refreshesStarted(), ++refreshes);
    EXPECT_EQ(shownImage(), expectedImage());
}

TEST_F(EditorTest, PairedInputsValidateClampAndCompareWithTheRecord) {
    load(clip());
    click("checkTextWatermark");
    click("checkImageWatermark");
    ASSERT_TRUE(settle());
    const auto stepper = [this](std::string_view name) { return outlet<Stepper>(name)->floatValue(); };
    const auto field = [this](std::string_view name) { return outlet<QLineEdit>(name)->text(); };

    // What each typed text becomes is PairInput's; the window puts the value
    // in the stepper and any replacement text in the field.
    type("textFieldTextFontSize", "600");
    EXPECT_EQ(field("textFieldTextFontSize"), "500");
    EXPECT_EQ(stepper("stepperTextFontSize"), 500.0f);
    type("textFieldScale", "12.5");
    EXPECT_EQ(field("textFieldScale"), "12.5");
    EXPECT_EQ(stepper("stepperScale"), 12.5f);
    type("textFieldImageXOffset", "+20");
    EXPECT_EQ(stepper("stepperImageXOffset"), 20.0f);
    ASSERT_TRUE(settle());

    // An edit that leaves the text as recorded starts no refresh.
    const int refreshes = controller->refreshesStarted();
    type("textFieldImageXOffset", field("textFieldImageXOffset"));
    type("textFieldText", field("textFieldText"));
    EXPECT_EQ(controller->refreshesStarted(), refreshes);
    type("textFieldText", "Hello");
    EXPECT_EQ(controller->refreshesStarted(), refreshes + 1);
}

TEST_F(EditorTest, MatrixCellsShowTheirValueAndGroupResetsFollowTheirRules) {
    load(clip());
    auto* m12 = outlet<Stepper>("stepper3DTransformM12");
    for (int i = 0; i < 3; ++i) m12->stepDown();
    EXPECT_EQ(outlet<QLineEdit>("textField3DTransformM12")->text(), "-0.03");
    outlet<Stepper>("stepper3DTransformM11")->stepUp();
    EXPECT_EQ(outlet<QLineEdit>("textField3DTransformM11")->text(), "1.01");

    int refreshes = controller->refreshesStarted();
    outlet<FloatSlider>("sliderBlurIntensity")->setFloatValue(9);
    click("buttonResetBlur");
    EXPECT_EQ(outlet<FloatSlider>("sliderBlurIntensity")->floatValue(), 3.0f);
    EXPECT_EQ(controller->refreshesStarted(), refreshes);  // blur is off: no refresh
    click("buttonReset3DTransform");
    EXPECT_EQ(outlet<QLineEdit>("textField3DTransformM12")->text(), "0");
    EXPECT_EQ(outlet<Stepper>("stepper3DTransformM11")->floatValue(), 1.0f);

    outlet<QLineEdit>("textFieldText")->setText("changed");
    click("buttonResetTextWatermark");
    EXPECT_FALSE(outlet<QCheckBox>("checkTextWatermark")->isChecked());
    EXPECT_EQ(controller->currentSettings().textFieldText, defaultEffectSettings().textFieldText);
    EXPECT_EQ(controller->refreshesStarted(), refreshes);

    click("buttonResetAdjustments");  // always refreshes
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->refreshesStarted(), ++refreshes);

    click("checkBlur");
    ASSERT_TRUE(settle());
    refreshes = controller->refreshesStarted();
    click("buttonResetBlur");  // already at its default: does nothing at all
    EXPECT_EQ(controller->refreshesStarted(), refreshes);
}

TEST_F(EditorTest, BrowsingCoalescesStepsBackPastTheEndAndRecordsNothing) {
    load(clip());
    auto* stepper = outlet<Stepper>("stepperBrowseFrames");
    stepper->stepUp();  // starts an extraction at 1 s
    stepper->stepUp();
    stepper->stepDown();
    stepper->stepUp();
    EXPECT_TRUE(controller->browse().pending);
    ASSERT_TRUE(settle());
    EXPECT_FALSE(controller->browse().pending);
    EXPECT_EQ(stepper->doubleValue(), 2.0);  // 2 s is the end of the clip: still a frame
    const auto frame = test::ffmpegFrame(clip(), 1.9);
    ASSERT_TRUE(frame);
    EXPECT_LT(test::meanDifference(*controller->snapshot(), *frame), 3.0);
    EXPECT_EQ(controller->history().count(), 1);  // a new frame records nothing

    stepper->stepUp();  // 3 s: past the end
    ASSERT_TRUE(settle());
    EXPECT_EQ(stepper->doubleValue(), 2.0);
}

// An unreadable watermark picture keeps the previous one. A profile carries
// the look and the picture by path: loading it brings both back, a picture
// that has gone since is named in the alert, and a damaged profile says what
// it skipped.
TEST_F(EditorTest, ProfilesCarryTheLookAndTheWatermarkPictureWhichSurvivesABadChoice) {
    const auto dir = test::scratchDirectory("editor-profile-logo");
    outlet<FloatSlider>("sliderContrast")->setFloatValue(1.5f);
    outlet<QCheckBox>("checkSepia")->setChecked(true);
    ASSERT_TRUE(test::writePicture(dir / "logo.png"));
    std::ofstream(dir / "broken.png") << "not a picture";
    dialogs.openPaths.push_back(QString::fromStdString((dir / "logo.png").string()));
    click("buttonSelectImage");
    EXPECT_EQ(controller->logo()->width(), 64);
    EXPECT_EQ(outlet<QLineEdit>("textFieldImage")->text(), "logo.png");
    dialogs.openPaths.push_back(QString::fromStdString((dir / "broken.png").string()));
    click("buttonSelectImage");
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text, "The image could not be loaded.");
    EXPECT_EQ(controller->logo()->width(), 64);
    EXPECT_EQ(outlet<QLineEdit>("textFieldImage")->text(), "logo.png");
    dialogs.alerts.clear();

    dialogs.savePaths.push_back(QString::fromStdString((dir / "look").string()));
    window.command("OnSaveProfileAs")->trigger();
    ASSERT_TRUE(std::filesystem::exists(dir / "look.tintreel"));

    window.command("OnFileNew")->trigger();
    ASSERT_TRUE(controller->logo()->isEmpty());
    dialogs.openPaths.push_back(QString::fromStdString((dir / "look.tintreel").string()));
    window.command("OnLoadProfile")->trigger();
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_EQ(controller->currentSettings().sliderContrast, 1.5f);
    EXPECT_EQ(controller->currentSettings().checkSepia, 1);
    EXPECT_EQ(controller->logo()->width(), 64);
    EXPECT_EQ(controller->logoPath().toStdString(), (dir / "logo.png").string());

    window.command("OnFileNew")->trigger();
    std::filesystem::remove(dir / "logo.png");
    dialogs.openPaths.push_back(QString::fromStdString((dir / "look.tintreel").string()));
    window.command("OnLoadProfile")->trigger();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts[0].text.contains("logo.png")) << dialogs.alerts[0].text.toStdString();
    EXPECT_TRUE(controller->logo()->isEmpty());

    // The group's reset forgets the picture.
    ASSERT_TRUE(test::writePicture(dir / "logo.png"));
    dialogs.openPaths.push_back(QString::fromStdString((dir / "logo.png").string()));
    click("buttonSelectImage");
    ASSERT_FALSE(controller->logo()->isEmpty());
    click("buttonResetImageWatermark");
    EXPECT_TRUE(controller->logo()->isEmpty());
    EXPECT_TRUE(outlet<QLineEdit>("textFieldImage")->text().isEmpty());

    auto lines = splitRecordLines(renderSettingsRecord(defaultEffectSettings()));
    lines[2] = "99";       // contrast beyond its range
    lines[87] = "banana";  // font index
    lines.resize(90);
    std::ofstream damaged(dir / "damaged.tintreel");
    for (const auto& line : lines) damaged << line << "\n";
    damaged.close();
    dialogs.alerts.clear();
    dialogs.openPaths.push_back(QString::fromStdString((dir / "damaged.tintreel").string()));
    window.command("OnLoadProfile")->trigger();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts[0].text.contains("comboTextFontType"));
    EXPECT_EQ(controller->currentSettings().sliderContrast, findControl("sliderContrast")->maximum);
    EXPECT_EQ(controller->currentSettings().comboTextFontType, 12);
}

TEST_F(EditorTest, DropsCheckTheFileAskOnlyOverAPreviewAndLoad) {
    const auto dir = test::scratchDirectory("editor-drops");
    const auto upper = dir / "CLIP.MOV";
    std::filesystem::copy_file(clip(), upper);
    auto* view = outlet<VideoImageView>("imageViewVideo");
    const auto drop = [view](const std::filesystem::path& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path.string()))});
        return view->performDragOperation(&data);
    };
    std::ofstream(dir / "clip.avi") << "x";
    std::ofstream(dir / "empty.mp4");
    EXPECT_FALSE(drop(dir / "clip.avi"));
    EXPECT_FALSE(drop(dir));
    EXPECT_FALSE(drop(dir / "empty.mp4"));
    EXPECT_TRUE(dialogs.questions.empty());

    EXPECT_TRUE(drop(upper));  // the first drop asks nothing
    EXPECT_TRUE(dialogs.questions.empty());
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->videoPath(), QString::fromStdString(upper.string()));

    dialogs.answers.push_back(false);
    EXPECT_FALSE(drop(clip()));
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(controller->videoPath(), QString::fromStdString(upper.string()));
    dialogs.answers.push_back(true);
    EXPECT_TRUE(drop(clip()));
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->videoPath(), QString::fromStdString(clip().string()));

    // Any container FFmpeg reads loads; a picture wearing a movie name does not.
    const auto mkv = test::otherContainerClips().front().path;
    ASSERT_EQ(mkv.extension(), ".mkv");
    dialogs.answers.push_back(true);
    EXPECT_TRUE(drop(mkv));
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->videoPath(), QString::fromStdString(mkv.string()));
    ASSERT_TRUE(test::writePicture(dir / "photo.mp4"));
    dialogs.answers.push_back(true);
    EXPECT_FALSE(drop(dir / "photo.mp4"));
    EXPECT_EQ(controller->videoPath(), QString::fromStdString(mkv.string()));
}

// Whether the picture watermark drawn at the bottom right of `image` is
// mostly red (picture A of the test below) or mostly blue (picture B).
QChar cornerColour(const QImage& image) {
    const QColor pixel = image.pixelColor(image.width() - 10, image.height() - 5);
    if (pixel.red() > 150 && pixel.blue() < 100) return 'A';
    if (pixel.blue() > 150 && pixel.red() < 100) return 'B';
    return '-';
}

// The history carries the watermark picture's path: undo and redo bring the
// picture back with the rest of the look, on screen and in the render,
// without recording again, and a picture that has gone since is named and
// left out. The commands are enabled while there is a step to take; an edit
// after an undo cuts the redo branch.
TEST_F(EditorTest, UndoAndRedoBringTheWatermarkPictureBack) {
    const auto dir = test::scratchDirectory("editor-undo-logo");
    const auto choose = [&](const char* name) {
        QImage picture(40, 20, QImage::Format_RGBA8888);
        picture.fill(name[0] == 'a' ? Qt::red : Qt::blue);
        ASSERT_TRUE(picture.save(QString::fromStdString((dir / name).string())));
        dialogs.openPaths.push_back(QString::fromStdString((dir / name).string()));
        click("buttonSelectImage");
        ASSERT_TRUE(settle());
    };
    load(clip());
    click("checkImageWatermark");
    ASSERT_TRUE(settle());
    choose("a.png");
    auto* brightness = outlet<FloatSlider>("sliderBrightness");
    brightness->setFloatValueByUser(0.1f);
    ASSERT_TRUE(settle());
    choose("b.png");
    ASSERT_EQ(cornerColour(shownImage()), 'B');

    EXPECT_FALSE(window.command("OnRedo")->isEnabled());

    struct Step {
        const char* command;
        const char* picture;  // the file name the picture's field shows
        QChar shown;          // '?' with no picture: the frame's own corner shows
        float brightness;
        bool undo, redo;  // whether each command is enabled after the step
    };
    for (const Step& step :
         {Step{"OnUndo", "a.png", 'A', 0.1f, true, true}, Step{"OnRedo", "b.png", 'B', 0.1f, true, false},
          Step{"OnUndo", "a.png", 'A', 0.1f, true, true}, Step{"OnUndo", "a.png", 'A', 0.0f, true, true},
          Step{"OnUndo", "", '?', 0.0f, true, true},   // the watermark switched on
          Step{"OnUndo", "", '?', 0.0f, false, true},  // the loaded frame
          Step{"OnRedo", "", '?', 0.0f, true, true}, Step{"OnRedo", "a.png", 'A', 0.0f, true, true}}) {
        SCOPED_TRACE(std::string(step.command) + " to " + step.picture);
        window.command(step.command)->trigger();
        ASSERT_TRUE(settle());
        EXPECT_EQ(brightness->floatValue(), step.brightness);
        EXPECT_EQ(window.command("OnUndo")->isEnabled(), step.undo);
        EXPECT_EQ(window.command("OnRedo")->isEnabled(), step.redo);
        EXPECT_EQ(outlet<QLineEdit>("textFieldImage")->text(), step.picture);
        const QString path =
            *step.picture ? QString::fromStdString((dir / step.picture).string()) : QString();
        EXPECT_EQ(controller->logoPath(), path);
        EXPECT_EQ(controller->logo()->isEmpty(), path.isEmpty());
        if (step.shown != '?') {
            EXPECT_EQ(cornerColour(shownImage()), step.shown);
        }
        EXPECT_EQ(shownImage(), expectedImage());
    }
    EXPECT_EQ(controller->history().count(), 5);
    EXPECT_TRUE(dialogs.alerts.empty());

    // The render draws the picture the undo brought back.
    window.command("OnRedo")->trigger();  // a.png with the brighter look
    ASSERT_TRUE(settle());
    EXPECT_EQ(brightness->floatValue(), 0.1f);
    QSignalSpy finished(controller, &ViewController::renderFinished);
    controller->OnGeneratePreview();
    ASSERT_TRUE(finished.wait(60000));
    const std::optional<Image> rendered = FrameImageAtTime(controller->newVideoPath().toStdString(), 0.5);
    ASSERT_TRUE(rendered);
    EXPECT_EQ(cornerColour(toQImage(*rendered)), 'A');

    std::filesystem::remove(dir / "b.png");
    window.command("OnRedo")->trigger();
    ASSERT_TRUE(settle());
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts[0].text.contains("b.png")) << dialogs.alerts[0].text.toStdString();
    EXPECT_TRUE(controller->logo()->isEmpty());
    EXPECT_TRUE(outlet<QLineEdit>("textFieldImage")->text().isEmpty());

    window.command("OnUndo")->trigger();
    ASSERT_TRUE(settle());
    ASSERT_TRUE(window.command("OnRedo")->isEnabled());
    brightness->setFloatValue(0.75f);  // an edit after the undo cuts the redo branch
    Q_EMIT brightness->activated();
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->history().count(), 5);
    EXPECT_FALSE(window.command("OnRedo")->isEnabled());
}

// The zoom commands reach the preview area; the centre, the limits and the
// pan are the area's own arithmetic, checked in the ZoomPan tests.
TEST_F(EditorTest, ZoomCommandsZoomThePreviewAndFitPutsItBack) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* area = outlet<PreviewArea>("customViewImage");
    QWidget* view = outlets().find("imageViewVideo");
    const QRect fitted(QPoint(0, 0), area->size());
    controller->OnZoomIn();
    controller->OnZoomIn();
    EXPECT_NEAR(area->zoomFactor(), 1.21, 1e-9);
    controller->OnResetZoom();
    EXPECT_EQ(view->geometry(), fitted);
    controller->OnZoomOut();
    EXPECT_EQ(view->geometry(), fitted);
}

}  // namespace
}  // namespace tintreel
