// The sound controls in the window: switched off, with a line saying why, for
// a movie without sound; a movie with sound is measured in the background,
// its reading shown and kept in the cache folder; playback is handed the
// controls as they change, the normalising gain included once measured.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QStandardPaths>

#include "editor/ControlPanel.h"
#include "preview/PlaybackEngine.h"
#include "support/EditorFixture.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

// A manual clock that keeps every shaping playback hands it.
class ShapingClock : public ManualClock {
public:
    explicit ShapingClock(std::vector<PlaybackShaping>& handed) : handed_(handed) {}
    void shapeSound(const PlaybackShaping& shaping) override { handed_.push_back(shaping); }

private:
    std::vector<PlaybackShaping>& handed_;
};

class SoundControlsTest : public EditorFixture {
protected:
    SoundControlsTest() {
        controller->setPlaybackClockFactory([this] { return std::make_unique<ShapingClock>(handed_); });
    }

    // A copy of its own: the cache is keyed by the file's modification time,
    // which a test process making the shared clip beside this one would change.
    fs::path soundClip() {
        const fs::path own = scratch_ / "sound.mp4";
        if (!fs::exists(own))
            fs::copy_file(test::makeClip("-f lavfi -i testsrc2=s=320x240:r=10:d=2 -f lavfi -i sine=f=440:d=2 -af "
                                         "volume=-12dB -pix_fmt yuv420p -c:v libx264 -c:a aac",
                                         "mp4"),
                          own);
        return own;
    }
    QString note() const { return outlet<QLabel>(kSoundNoteName)->text(); }
    bool measured() {
        return QTest::qWaitFor([this] { return note().contains("LUFS"); }, 20000);
    }

    std::vector<PlaybackShaping> handed_;
    const fs::path scratch_ =
        test::scratchDirectory(std::string("sound-controls-") +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(SoundControlsTest, OffWithoutSoundAndAMovieWithSoundIsMeasuredKeptAndHandedToPlayback) {
    load(clip());
    EXPECT_FALSE(outlet<QWidget>(kSoundGroupName)->isEnabled());
    EXPECT_TRUE(note().contains("no sound")) << note().toStdString();

    load(soundClip());
    EXPECT_TRUE(outlet<QWidget>(kSoundGroupName)->isEnabled());
    ASSERT_TRUE(measured()) << note().toStdString();
    const std::optional<test::LoudnessReading> theirs = test::ffmpegLoudness(soundClip(), "a:0");
    ASSERT_TRUE(theirs);
    const QString expected = QString::number(theirs->integratedLufs, 'f', 1);
    EXPECT_TRUE(note().contains(expected)) << note().toStdString() << " vs " << expected.toStdString();
    const fs::path kept = QStandardPaths::writableLocation(QStandardPaths::CacheLocation).toStdString() + "/loudness";
    ASSERT_TRUE(fs::is_directory(kept));
    EXPECT_FALSE(fs::is_empty(kept));

    // Back to a movie without sound and again: the reading comes from the cache at once.
    load(clip());
    EXPECT_FALSE(note().contains("LUFS"));
    load(soundClip());
    EXPECT_TRUE(note().contains(expected)) << note().toStdString();

    // Playback is handed the controls and the normalising gain, measured.
    outlet<QComboBox>("comboLoudness")->setCurrentIndex(3);  // -23 LUFS
    controller->togglePlayback();
    ASSERT_TRUE(controller->isPlaying());
    ASSERT_FALSE(handed_.empty());
    EXPECT_NEAR(handed_.back().controls.loudnessGainDb, -23 - theirs->integratedLufs, 0.2);
    EXPECT_FALSE(handed_.back().controls.mute);
    EXPECT_NEAR(handed_.back().spanSeconds, 2.0, 0.05);

    outlet<QCheckBox>("checkMute")->click();  // while playing: the next sound is silent
    EXPECT_TRUE(controller->isPlaying());
    EXPECT_TRUE(handed_.back().controls.mute);
    controller->togglePlayback();
}

}  // namespace
}  // namespace tintreel
