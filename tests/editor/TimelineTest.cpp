// The timeline under the preview as a user meets it: its keys on the focused
// preview and on the timeline itself, the stepper bound to the same
// position, nothing of it in the history, and the still it shows being the
// very frame the render writes at that position.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <cmath>

#include "platform/filters/QtImage.h"
#include "platform/ui/Stepper.h"
#include "platform/ui/TimelineBar.h"
#include "preview/VideoImageView.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

class TimelineTest : public EditorFixture {
protected:
    void SetUp() override {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    void loadAndReadFrameTimes(const std::filesystem::path& clip) {
        load(clip);
        ASSERT_TRUE(QTest::qWaitFor([this] { return controller->frameTimesRead(); }, 20000));
    }

    TimelineBar* timeline() const { return outlet<TimelineBar>("timelineBrowse"); }
    VideoImageView* preview() const { return outlet<VideoImageView>("imageViewVideo"); }
    Stepper* stepper() const { return outlet<Stepper>("stepperBrowseFrames"); }
    QString frameLabel() const { return outlet<QLabel>("labelTimelineFrame")->text(); }
    QString timeLabel() const { return outlet<QLabel>("labelTimelineTime")->text(); }
};

// Keys on the focused preview or timeline, a click on the timeline and the
// stepper all move one position; Space asks to play.
TEST_F(TimelineTest, KeysClicksAndTheStepperMoveOnePositionAndSpaceAsksToPlay) {
    QSignalSpy play(controller, &ViewController::playRequested);
    QSignalSpy playing(controller, &ViewController::playingChanged);
    QTest::keyClick(preview(), Qt::Key_Space);  // no movie: nothing to play
    EXPECT_EQ(play.count(), 0);

    loadAndReadFrameTimes(clip());  // 2 s at 10 frames a second
    EXPECT_EQ(timeLabel(), "0:00.00 / 0:02.00");
    outlet<QPushButton>("buttonSelectVideo")->setFocus();
    QTest::mouseClick(preview(), Qt::LeftButton, {}, preview()->rect().center());
    EXPECT_EQ(QApplication::focusWidget(), preview());
    QTest::keyClick(preview(), Qt::Key_Space);
    EXPECT_EQ(play.count(), 1);
    timeline()->setFocus();
    QTest::keyClick(timeline(), Qt::Key_Space);
    EXPECT_EQ(play.count(), 2);
    EXPECT_EQ(playing.count(), 2) << "the first Space plays, the second pauses";
    EXPECT_FALSE(controller->isPlaying());
    ASSERT_TRUE(settle());

    // A click on the timeline's middle: the handle stays where it was put.
    QTest::mouseClick(timeline(), Qt::LeftButton, {}, timeline()->rect().center());
    EXPECT_TRUE(controller->browse().running);
    EXPECT_EQ(timeline()->position(), stepper()->doubleValue());
    ASSERT_TRUE(settle());
    EXPECT_NEAR(stepper()->doubleValue(), 1.0, 2 * 2.0 / timeline()->width());
    EXPECT_NEAR(controller->snapshotSeconds(), std::floor(stepper()->doubleValue() * 10 + 1e-6) / 10, 1e-9);
    QTest::keyClick(timeline(), Qt::Key_Home);
    ASSERT_TRUE(settle());

    // Keys on either widget and the stepper's arrows, which go to whole
    // seconds from a position between two, move one position.
    const auto press = [](QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        return std::function<void()>([=] {
            target->setFocus();
            QTest::keyClick(target, key, modifiers);
        });
    };
    const struct {
        std::function<void()> move;
        double position;  // of the stepper
        double seconds;   // of the frame shown, and the timeline's handle
    } moves[] = {
        {press(preview(), Qt::Key_Right), 0.1, 0.1},
        {press(timeline(), Qt::Key_Right), 0.2, 0.2},
        {press(preview(), Qt::Key_Left), 0.1, 0.1},
        {press(timeline(), Qt::Key_Right, Qt::ShiftModifier), 1.1, 1.1},
        {[this] { stepper()->stepUp(); }, 2.0, 1.9},  // 2 s shows the last frame, at 1.9
        {[this] { stepper()->stepDown(); }, 1.0, 1.0},
        {press(timeline(), Qt::Key_Left), 0.9, 0.9},
        {[this] { stepper()->stepDown(); }, 0.0, 0.0},
        {press(timeline(), Qt::Key_Right, Qt::ShiftModifier), 1.0, 1.0},
        {press(preview(), Qt::Key_Left, Qt::ShiftModifier), 0.0, 0.0},
        {press(preview(), Qt::Key_End), 1.9, 1.9},
        {press(timeline(), Qt::Key_Right), 1.9, 1.9},
        {press(timeline(), Qt::Key_Home), 0.0, 0.0},
        {press(preview(), Qt::Key_Left), 0.0, 0.0},
    };
    for (std::size_t i = 0; i < std::size(moves); ++i) {
        const auto& [move, position, seconds] = moves[i];
        SCOPED_TRACE(testing::Message() << "move " << i << " to " << position);
        move();
        ASSERT_TRUE(settle());
        EXPECT_NEAR(controller->snapshotSeconds(), seconds, 1e-9);
        EXPECT_NEAR(timeline()->position(), seconds, 1e-9);
        EXPECT_NEAR(stepper()->doubleValue(), position, 1e-9);
        EXPECT_EQ(frameLabel(), QStringLiteral("frame %1 of 20").arg(std::lround(seconds * 10) + 1));
        EXPECT_EQ(timeLabel(), QStringLiteral("0:%1 / 0:02.00").arg(seconds, 5, 'f', 2, QChar('0')));
        const auto frame = test::ffmpegFrame(clip(), seconds);
        ASSERT_TRUE(frame);
        EXPECT_LT(test::meanDifference(*controller->snapshot(), *frame), 3.0);
    }
    EXPECT_EQ(play.count(), 2);
    EXPECT_EQ(controller->history().count(), 1);  // browsing records nothing
    EXPECT_FALSE(window.command("OnUndo")->isEnabled());
}

// I, O, Alt+I and Alt+O on the timeline or the focused preview, and the two
// time fields: the points land on frames, a point past the other clears it,
// the timeline shows them, the history records none of it, and a new video
// starts without.
TEST_F(TimelineTest, InAndOutPointsByKeysAndFields) {
    loadAndReadFrameTimes(clip());  // 2 s at 10 frames a second
    QLineEdit* in = outlet<QLineEdit>("fieldInPoint");
    QLineEdit* out = outlet<QLineEdit>("fieldOutPoint");
    const auto key = [this](QWidget* target, Qt::Key pressed, Qt::KeyboardModifiers modifiers = {}) {
        target->setFocus();
        QTest::keyClick(target, pressed, modifiers);
        ASSERT_TRUE(settle());
    };
    const auto expectPoints = [&](std::optional<double> inPoint, std::optional<double> outPoint) {
        EXPECT_EQ(controller->inPoint().has_value(), inPoint.has_value());
        EXPECT_EQ(controller->outPoint().has_value(), outPoint.has_value());
        if (inPoint) {
            EXPECT_NEAR(*controller->inPoint(), *inPoint, 1e-9);
        }
        if (outPoint) {
            EXPECT_NEAR(*controller->outPoint(), *outPoint, 1e-9);
        }
    };
    key(timeline(), Qt::Key_Home);
    for (int i = 0; i < 3; ++i) key(timeline(), Qt::Key_Right);
    key(timeline(), Qt::Key_I);
    expectPoints(0.3, std::nullopt);
    EXPECT_EQ(in->text(), "0:00.30");
    EXPECT_TRUE(out->text().isEmpty());
    key(preview(), Qt::Key_Right, Qt::ShiftModifier);  // the frame at 1.3 s
    key(preview(), Qt::Key_O);
    expectPoints(0.3, 1.4);  // just after the frame on show: it is the span's last
    EXPECT_EQ(out->text(), "0:01.40");
    ASSERT_TRUE(controller->span());
    EXPECT_NEAR(controller->span()->in, 0.3, 1e-9);
    EXPECT_NEAR(controller->span()->out, 1.4, 1e-9);
    key(timeline(), Qt::Key_I, Qt::AltModifier);
    expectPoints(std::nullopt, 1.4);
    EXPECT_TRUE(in->text().isEmpty());
    // Typed times; one past the out point clears it, one that cannot be read is undone.
    in->setText("0:01.50");
    Q_EMIT in->editingFinished();
    expectPoints(1.5, std::nullopt);
    out->setText("soon");
    Q_EMIT out->editingFinished();
    expectPoints(1.5, std::nullopt);
    EXPECT_TRUE(out->text().isEmpty());
    out->setText("1.8");
    Q_EMIT out->editingFinished();
    expectPoints(1.5, 1.8);
    key(timeline(), Qt::Key_Home);
    key(timeline(), Qt::Key_O);  // before the in point: the in point goes
    expectPoints(std::nullopt, 0.1);
    key(timeline(), Qt::Key_O, Qt::AltModifier);
    expectPoints(std::nullopt, std::nullopt);
    key(timeline(), Qt::Key_I);  // at the start: the whole video
    EXPECT_FALSE(controller->span());
    EXPECT_EQ(controller->history().count(), 1);
    EXPECT_FALSE(window.command("OnUndo")->isEnabled());

    out->setText("1");
    Q_EMIT out->editingFinished();
    expectPoints(std::nullopt, 1.0);
    loadAndReadFrameTimes(clip());
    expectPoints(std::nullopt, std::nullopt);
}

TEST_F(TimelineTest, SwitchedOffWithoutAMovieAndWhileRendering) {
    auto* play = outlet<QPushButton>("buttonPlayPause");
    const auto usable = [&] { return timeline()->isEnabled() && play->isEnabled(); };
    EXPECT_FALSE(timeline()->isEnabled());
    EXPECT_FALSE(play->isEnabled());
    EXPECT_TRUE(frameLabel().isEmpty());
    loadAndReadFrameTimes(clip());
    EXPECT_TRUE(usable());
    EXPECT_EQ(frameLabel(), "frame 1 of 20");
    controller->DisableInterface();  // what a render's start does
    EXPECT_FALSE(timeline()->isEnabled());
    EXPECT_FALSE(play->isEnabled());
    QSignalSpy asked(controller, &ViewController::playRequested);
    timeline()->setFocus();
    QTest::keyClick(preview(), Qt::Key_Space);
    QTest::keyClick(preview(), Qt::Key_End);
    EXPECT_EQ(asked.count(), 0);
    EXPECT_FALSE(controller->browse().running);
    controller->EnableInterface();
    EXPECT_TRUE(usable());

    play->click();
    EXPECT_EQ(asked.count(), 1);
    controller->setPlaying(true);
    EXPECT_EQ(play->text(), "Pause");
    controller->setPlaying(false);
    EXPECT_EQ(play->text(), "Play");
    EXPECT_EQ(asked.count(), 1);  // the switch only shows

    window.command("OnFileNew")->trigger();
    EXPECT_FALSE(timeline()->isEnabled());
    EXPECT_FALSE(play->isEnabled());
    EXPECT_TRUE(frameLabel().isEmpty());
}

double psnr(const Image& a, const Image& b) {
    double squares = 0;
    std::size_t samples = 0;
    for (std::size_t i = 0; i < a.byteCount(); ++i) {
        if (i % 4 == 3) continue;  // alpha
        const double difference = a.data()[i] - b.data()[i];
        squares += difference * difference;
        ++samples;
    }
    return squares == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * samples / squares);
}

// The still at a position is the rendered movie's frame there, watermark
// timing included, to within what the encoder loses; its neighbour is not.
TEST_F(TimelineTest, TheStillIsTheFrameTheRenderWrites) {
    const std::filesystem::path source =
        test::makeClip("-f lavfi -i testsrc2=s=320x240:r=25:d=2 -pix_fmt yuv420p -c:v libx264", "mp4");
    loadAndReadFrameTimes(source);
    for (const char* look : {"checkSepia", "checkVignette", "checkTextWatermark"})
        outlet<QCheckBox>(look)->click();
    ASSERT_TRUE(settle());
    // At the default quality the encoder alone costs about 40 dB on this
    // sharp test pattern; nearly lossless, what is left is 4:2:0 chroma.
    RenderSettings nearlyLossless;
    nearlyLossless.quality.value = 4;
    controller->setRenderSettings(nearlyLossless);
    QSignalSpy rendered(controller, &ViewController::renderFinished);
    outlet<QPushButton>("buttonGeneratePreview")->click();
    ASSERT_TRUE(rendered.wait(120000));
    ASSERT_TRUE(rendered.at(0).at(0).toBool());
    // Browsing forgets the rendered movie, so a copy is kept.
    const std::filesystem::path movie = test::scratchDirectory("timeline-render") / "rendered.mp4";
    std::filesystem::copy_file(controller->newVideoPath().toStdString(), movie);

    for (const double seconds : {0.0, 0.52, 1.37, 1.96}) {
        SCOPED_TRACE(seconds);
        stepper()->setDoubleValue(seconds);
        controller->OnBrowseFrames();
        ASSERT_TRUE(settle());
        const std::size_t index = controller->frameTimes().indexAt(controller->snapshotSeconds());
        EXPECT_EQ(index, static_cast<std::size_t>(std::floor(seconds * 25 + 1e-6)));
        const Image still = fromQImage(*preview()->image());
        const auto frameOf = [&](std::size_t n) {
            return test::ffmpegFrame(movie, 0, "'select=eq(n\\," + std::to_string(n) + ")'");
        };
        const auto same = frameOf(index);
        const auto neighbour = frameOf(index == 0 ? 1 : index - 1);
        ASSERT_TRUE(same && neighbour);
        ASSERT_EQ(still.width(), same->width());
        const double matching = psnr(still, *same);
        const double beside = psnr(still, *neighbour);
        EXPECT_GE(matching, 40.0);
        EXPECT_LT(beside, matching - 3.0);
        std::printf(
            "still at %.2f s (frame %zu): %.1f dB against its rendered frame, %.1f dB its neighbour\n",
            seconds, index, matching, beside);
    }
}

// Timed watermarks count from the in point in the still, as in the render:
// a watermark starting 0.5 s into the output is not yet on the frame 0.2 s
// after the in point, though it is 1 s into the movie.
TEST_F(TimelineTest, TimedWatermarksCountFromTheInPoint) {
    loadAndReadFrameTimes(clip());
    stepper()->setDoubleValue(1.0);
    controller->OnBrowseFrames();
    ASSERT_TRUE(settle());
    const QImage plain = *preview()->image();
    outlet<QCheckBox>("checkTextWatermark")->click();
    type("textFieldTextStart", "0.5");
    ASSERT_TRUE(settle());
    const QImage marked = *preview()->image();
    EXPECT_NE(marked, plain) << "1 s into the movie the watermark shows";

    type("fieldInPoint", "0.8");
    ASSERT_TRUE(settle());
    ASSERT_TRUE(controller->inPoint());
    EXPECT_EQ(*preview()->image(), plain) << "0.2 s into the output it does not yet";
    type("fieldInPoint", "");
    ASSERT_TRUE(settle());
    EXPECT_EQ(*preview()->image(), marked);
}

}  // namespace
}  // namespace tintreel
