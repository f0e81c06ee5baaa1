// Live playback in the window: it plays from the still's frame, follows a
// control changed while playing without stopping, leaves the still at the
// paused frame at full size (recording the change once), starts again from
// the first frame once it has played to the end, says once that a
// movie cut short stopped early, stays off while a rendered movie is on
// show, and a window closed while playing ends its threads.
#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>

#include "platform/filters/QtImage.h"
#include "platform/ui/Stepper.h"
#include "preview/PlaybackEngine.h"
#include "preview/VideoImageView.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

class PlaybackTest : public EditorFixture {
protected:
    PlaybackTest() {
        controller->setPlaybackClockFactory([this] {
            auto clock = std::make_unique<ManualClock>();
            clock_ = clock.get();
            return clock;
        });
    }
    // Moves the movie's clock to `seconds` and lets playback show what is due.
    void at(double seconds) {
        clock_->set(seconds);
        PlaybackEngine* engine = controller->playbackEngine();
        engine->waitForFrame();
        engine->tick();
    }
    void play() {
        controller->togglePlayback();
        ASSERT_TRUE(controller->isPlaying());
        controller->playbackEngine()->waitForFrame();
        controller->playbackEngine()->tick();
    }
    QImage shown() const { return *outlet<VideoImageView>("imageViewVideo")->image(); }

    ManualClock* clock_ = nullptr;
};

TEST_F(PlaybackTest, PlaysFollowsAControlAndPausesOnTheFrameAtFullSize) {
    load(clip());
    controller->setPreviewScale(PreviewScale::Half);
    QSignalSpy positions(controller, &ViewController::playbackPositionChanged);
    QSignalSpy playing(controller, &ViewController::playingChanged);
    play();
    EXPECT_EQ(shown().size(), QSize(160, 120)) << "half scale while playing";
    const auto* indicator = controller->findChild<QLabel*>(QStringLiteral("labelPlaybackScale"));
    ASSERT_NE(indicator, nullptr);
    EXPECT_TRUE(indicator->isVisibleTo(controller));
    EXPECT_TRUE(indicator->text().startsWith("Half")) << indicator->text().toStdString();
    EXPECT_TRUE(outlets().find("progressIndicator")->isHidden());
    const int refreshes = controller->refreshesStarted();

    outlet<QCheckBox>("checkSepia")->click();
    for (int frame = 1; frame <= 6; ++frame) at(frame / 10.0);
    EXPECT_EQ(controller->refreshesStarted(), refreshes) << "no still refresh while playing";
    ASSERT_FALSE(positions.isEmpty());
    EXPECT_EQ(positions.last().at(1).toLongLong(), 6);
    for (const QPoint point : {QPoint(20, 20), QPoint(80, 60), QPoint(140, 100), QPoint(40, 100)}) {
        const QColor pixel = shown().pixelColor(point);
        EXPECT_TRUE(pixel.red() >= pixel.green() && pixel.green() >= pixel.blue())
            << "the frames on show are sepia-toned at " << point.x() << "," << point.y();
    }

    const int historyBefore = controller->history().count();
    controller->togglePlayback();
    EXPECT_FALSE(controller->isPlaying());
    ASSERT_TRUE(settle());
    EXPECT_DOUBLE_EQ(controller->snapshotSeconds(), 0.6);
    EXPECT_EQ(controller->snapshot()->width(), 320) << "the paused still is full size";
    EXPECT_DOUBLE_EQ(outlet<Stepper>("stepperBrowseFrames")->doubleValue(), controller->snapshotSeconds())
        << "the stepper holds the paused frame's position";
    EXPECT_TRUE(outlet<QLabel>("labelTimelineTime")->text().startsWith("0:00.60 /"));
    EXPECT_EQ(shown().size(), QSize(320, 240));
    EXPECT_EQ(controller->history().count(), historyBefore + 1)
        << "the change made while playing is recorded";
    EXPECT_EQ(playing.count(), 2);
    EXPECT_FALSE(indicator->isVisibleTo(controller));

    play();
    EXPECT_EQ(positions.last().at(1).toLongLong(), 6) << "play again resumes at the paused frame";
    controller->togglePlayback();
    ASSERT_TRUE(settle());
    EXPECT_EQ(controller->history().count(), historyBefore + 1) << "nothing changed: nothing recorded";

    // Played to the end it stops on the last frame; played again it starts from the first.
    play();
    for (int frame = 7; frame <= 20; ++frame) at(frame / 10.0);
    EXPECT_FALSE(controller->isPlaying());
    ASSERT_TRUE(settle());
    EXPECT_DOUBLE_EQ(controller->snapshotSeconds(), 1.9) << "stopped on the last frame";
    positions.clear();
    play();
    ASSERT_FALSE(positions.isEmpty());
    EXPECT_EQ(positions.first().at(1).toLongLong(), 0);
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(PlaybackTest, AMovieCutShortSaysSoOnce) {
    load(test::cutShortClip());
    play();
    for (int frame = 1; frame <= 20 && controller->isPlaying(); ++frame) at(frame / 10.0);
    EXPECT_FALSE(controller->isPlaying());
    ASSERT_TRUE(settle());
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text, QStringLiteral("The video could not be played to the end."));
}

TEST_F(PlaybackTest, ClosingTheWindowWhilePlayingEndsPlayback) {
    load(clip());
    controller->setPlaybackClockFactory(
        {});  // the real clock: the sound's, or the wall clock without a device
    play();
    EXPECT_TRUE(controller->isPlaying());
    // The fixture's window goes now; a thread left running would hang or crash the test.
}

}  // namespace
}  // namespace tintreel
