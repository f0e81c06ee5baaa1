// Live playback against a clock the test moves: each frame shown is the
// frame the render hands its encoder at that time (the same decode, the same
// chain with the frame's own time), frames come in order at their times,
// seeks are exact, a changed look reaches the next frames, and the end and
// a cut-short movie stop cleanly. (Destruction while playing is the
// window's PlaybackTest, ClosingTheWindowWhilePlayingEndsPlayback.)
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <fstream>

#include "imaging/EffectChain.h"
#include "platform/filters/QtImage.h"
#include "platform/media/FrameImage.h"
#include "preview/PlaybackEngine.h"
#include "preview/PlaybackSound.h"
#include "settings/ControlCatalogue.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

// Two seconds at 10 fps with a tone; every frame differs from the next.
fs::path soundClip() {
    return test::makeClip(
        "-f lavfi -i testsrc2=s=320x240:r=10:d=2 -f lavfi -i sine=frequency=440:duration=2 -pix_fmt yuv420p "
        "-c:v libx264 -g 10 -c:a aac -shortest",
        "mp4");
}
fs::path silentClip() {
    return test::makeClip("-f lavfi -i testsrc2=s=320x240:r=10:d=2 -pix_fmt yuv420p -c:v libx264 -g 10",
                          "mp4");
}

// Brightness and a text watermark fading in from 0.5 s to 1 s: a frame run
// through the chain at the wrong time shows the wrong opacity.
EffectSettings fadingLook() {
    EffectSettings look = defaultEffectSettings();
    look.sliderBrightness = 0.1f;
    look.checkTextWatermark = 1;
    look.textFieldText = "Tintreel";
    look.stepperTextStart = 0.5f;
    look.stepperTextFade = 0.5f;
    look.stepperTextFontSize = 40;
    return look;
}

std::unique_ptr<FrameEffect> renderChain(const EffectSettings& settings, const Image& logo, double) {
    return std::make_unique<EffectChain>(settings, logo, ChainRules::Movie);
}

// The frame the render writes at `seconds`: the still's decode of it (the
// last frame at or before, upright), through the render's chain.
Image renderedFrame(const fs::path& clip, const EffectSettings& look, double seconds) {
    std::optional<Image> frame = FrameImageAtTime(clip, seconds + 0.01);
    EXPECT_TRUE(frame);
    if (!frame) return {};
    return EffectChain(look, Image(), ChainRules::Movie).apply(*frame, seconds);
}

struct Shown {
    QImage picture;
    double seconds;
    qint64 index;
};

class Player {
public:
    explicit Player(const fs::path& clip, int shrink = 1)
        : clock_(new ManualClock),
          engine_(clip, renderChain, std::unique_ptr<PlaybackClock>(clock_)),
          ended_(&engine_, &PlaybackEngine::stoppedAtEnd) {
        engine_.setShrink(shrink);
        QObject::connect(&engine_, &PlaybackEngine::frameShown,
                         [this](const QImage& picture, double seconds, qint64 index) {
                             shown.push_back({picture, seconds, index});
                         });
    }
    PlaybackEngine& engine() { return engine_; }
    // Moves the clock to `seconds` and shows what is due then.
    void at(double seconds) {
        clock_->set(seconds);
        engine_.waitForFrame();
        engine_.tick();
    }
    // Plays from `seconds`: the first frame shows as soon as it is ready.
    void play(double seconds) {
        engine_.play(seconds);
        engine_.waitForFrame();
        engine_.tick();
    }
    int endings() const { return ended_.count(); }
    QString why() const { return ended_.isEmpty() ? QString() : ended_.last().at(0).toString(); }

    std::vector<Shown> shown;

private:
    ManualClock* clock_;  // owned by the engine
    PlaybackEngine engine_;
    QSignalSpy ended_;
};

Image pixels(const QImage& shown) {
    return fromQImage(shown.convertToFormat(QImage::Format_RGBA8888));
}

bool samePixels(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.data(), a.data() + a.stride() * a.height(), b.data());
}

TEST(PlaybackEngine, ShowsEveryFrameAsTheRenderWritesItAtItsTime) {
    struct Case {
        const char* name;
        fs::path clip;
    };
    for (const Case& c : {Case{"with sound", soundClip()}, Case{"without sound", silentClip()}}) {
        SCOPED_TRACE(c.name);
        Player player(c.clip);
        player.engine().setLook({fadingLook()});
        player.play(0.75);
        ASSERT_EQ(player.shown.size(), 1u);
        EXPECT_EQ(player.shown[0].index, 7) << "the last frame at or before the position";
        EXPECT_DOUBLE_EQ(player.shown[0].seconds, 0.7);
        for (int frame = 8; frame < 20; ++frame) player.at(frame / 10.0);
        ASSERT_EQ(player.shown.size(), 13u) << "one frame per tick at its time, none dropped";
        for (const Shown& shown : player.shown) {
            SCOPED_TRACE(shown.seconds);
            EXPECT_NEAR(shown.seconds, shown.index / 10.0, 1e-9);
            EXPECT_TRUE(
                samePixels(pixels(shown.picture), renderedFrame(c.clip, fadingLook(), shown.seconds)));
        }
        player.at(2.0);
        EXPECT_FALSE(player.engine().isPlaying()) << "stops at the end";
        EXPECT_TRUE(player.engine().reachedEnd());
        EXPECT_EQ(player.engine().frameIndex(), 19) << "on the last frame";
        EXPECT_EQ(player.endings(), 1);
        EXPECT_TRUE(player.why().isEmpty());
    }
}

// An out point ends playback on the last frame before it, as the end does.
TEST(PlaybackEngine, StopsAtTheOutPoint) {
    Player player(silentClip());
    player.engine().setStopTime(1.25);
    player.play(0.95);
    ASSERT_EQ(player.shown.size(), 1u);
    EXPECT_EQ(player.shown[0].index, 9);
    for (int frame = 10; frame <= 15; ++frame) player.at(frame / 10.0);
    EXPECT_FALSE(player.engine().isPlaying());
    EXPECT_TRUE(player.engine().reachedEnd());
    EXPECT_EQ(player.engine().frameIndex(), 12) << "the last frame before 1.25 s";
    EXPECT_EQ(player.endings(), 1);
    EXPECT_TRUE(player.why().isEmpty());
}

TEST(PlaybackEngine, PausesSeeksAndTakesANewLookWithoutStopping) {
    const fs::path clip = silentClip();
    Player player(clip);
    QSignalSpy playing(&player.engine(), &PlaybackEngine::playingChanged);
    player.play(0.0);
    player.at(0.3);
    EXPECT_EQ(player.shown.back().index, 3);
    EXPECT_EQ(player.engine().stats().dropped, 2) << "frames 1 and 2 came due together with 3";

    player.engine().pause();
    EXPECT_FALSE(player.engine().isPlaying());
    player.at(1.0);
    EXPECT_EQ(player.engine().frameIndex(), 3) << "a paused engine shows nothing new";

    player.play(1.26);  // a seek, from a pause or while playing alike
    EXPECT_EQ(player.engine().frameIndex(), 12);
    player.play(0.5);
    EXPECT_EQ(player.engine().frameIndex(), 5) << "a seek back while playing";
    ASSERT_EQ(playing.count(), 3) << "on, off, on: a seek while playing does not stop";

    EffectSettings sepia = defaultEffectSettings();
    sepia.checkSepia = 1;
    sepia.sliderSepiaIntensity = 1.0f;
    player.engine().setLook({sepia});
    for (int frame = 6; frame < 12; ++frame) player.at(frame / 10.0);
    EXPECT_TRUE(player.engine().isPlaying());
    const Shown& last = player.shown.back();
    EXPECT_EQ(last.index, 11);
    EXPECT_TRUE(samePixels(pixels(last.picture), renderedFrame(clip, sepia, last.seconds)))
        << "the new look reaches the frames decoded after it";
}

// A machine too slow for the chain: frames already overtaken by the clock are
// passed over before the chain, so the picture catches up instead of trailing.
TEST(PlaybackEngine, PassesOverFramesTheClockHasOvertaken) {
    Player player(silentClip());
    player.play(0.0);
    player.at(1.0);  // frames 1 to 3 were ready: 3 shows, 1 and 2 are dropped
    EXPECT_EQ(player.shown.back().index, 3);
    player.at(1.1);  // 4 to 8 were overtaken before their chain ran; 9 and 10 are late
    EXPECT_EQ(player.shown.back().index, 11);
    EXPECT_EQ(player.engine().stats().dropped, 2 + 5 + 2);
    EXPECT_EQ(player.shown.size(), 3u);
}

TEST(PlaybackEngine, PlaysUprightAndShrunk) {
    const fs::path rotated = test::withRotationTag(silentClip(), 270);
    Player upright(rotated);
    upright.play(0.4);
    ASSERT_EQ(upright.shown.size(), 1u);
    EXPECT_EQ(upright.shown[0].picture.size(), QSize(240, 320)) << "a portrait phone clip stands up";
    EXPECT_TRUE(samePixels(pixels(upright.shown[0].picture), *FrameImageAtTime(rotated, 0.41)))
        << "the frame as the still shows it: upright, untouched without a look";

    Player quarter(silentClip(), 4);
    quarter.play(0.0);
    ASSERT_EQ(quarter.shown.size(), 1u);
    EXPECT_EQ(quarter.shown[0].picture.size(), QSize(80, 60));
}

TEST(PlaybackEngine, AMovieCutShortStopsOnItsLastGoodFrameSayingWhyOnce) {
    Player player(test::cutShortClip());
    player.play(0.0);
    for (int frame = 1; frame <= 20 && player.engine().isPlaying(); ++frame) player.at(frame / 10.0);
    EXPECT_FALSE(player.engine().isPlaying());
    EXPECT_FALSE(player.engine().reachedEnd());
    EXPECT_EQ(player.endings(), 1);
    EXPECT_TRUE(player.why().contains("cut short") || player.why().contains("damaged"))
        << player.why().toStdString();
    ASSERT_FALSE(player.shown.empty());
    EXPECT_LT(player.shown.back().index, 19);
}

// A private sound server whose one sink plays into nothing at the pace of a
// real device, so that the sound's clock meets a device that takes sound as
// hardware does. Not running where the server program is missing.
class SoundServer {
public:
    SoundServer() : dir_(test::scratchDirectory("sound-server")) {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::replace);
        const fs::path socket = dir_ / "pulse" / "native";
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir_.string()));
        qputenv("PULSE_SERVER", QByteArray::fromStdString("unix:" + socket.string()));
        server_.start("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                                     "--load=module-null-sink sink_name=tests", "--load=module-native-protocol-unix"});
        running_ = server_.waitForStarted(5000) && QTest::qWaitFor([&] { return fs::exists(socket); }, 10000);
    }
    ~SoundServer() {
        server_.terminate();
        if (!server_.waitForFinished(5000)) server_.kill();
    }
    bool running() const { return running_; }

private:
    fs::path dir_;
    QProcess server_;
    bool running_ = false;
};

// Against a device that takes sound at its real pace, the sound's clock
// keeps the device's pace through a start, a stop and starts again
// elsewhere. (A sink stopped and started again once came back with a buffer
// of a few bytes that it never played, and the clock stood still from the
// second play on.)
TEST(PlaybackSound, TheClockKeepsADevicesPaceAcrossStopsAndSeeks) {
    SoundServer server;
    if (!server.running()) GTEST_SKIP() << "no sound server could be started";
    const std::unique_ptr<PlaybackClock> clock = makePlaybackClock(soundClip(), 1);
    ASSERT_STREQ(clock->name(), "audio");
    for (double from : {0.0, 1.0, 0.2}) {
        for (int seek = 0; seek < 4; ++seek) {  // quick seeks first, as a dragged scrubber makes
            clock->start(from);
            QTest::qWait(50);
            clock->stop();
        }
        clock->start(from);
        // This sink plays a new stream only after what it has mixed ahead,
        // up to two seconds, and takes its first blocks in bursts; a sound
        // card starts sooner and evenly.
        ASSERT_TRUE(QTest::qWaitFor([&] { return clock->now() > from + 0.2; }, 5000))
            << "stood still from " << from;
        const double clockedFrom = clock->now();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(600);
        EXPECT_NEAR(clock->now() - clockedFrom, wall.nsecsElapsed() / 1e9, 0.2) << "from " << from;
        clock->stop();
        const double stoppedAt = clock->now();
        QTest::qWait(200);
        EXPECT_EQ(clock->now(), stoppedAt) << "a stopped clock moved, from " << from;
    }
}

}  // namespace
}  // namespace tintreel
