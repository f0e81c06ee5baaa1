#pragma once
// PlaybackEngine: live playback of the look. A decoding thread reads the
// movie forward from the position asked for, shrinks each frame to the
// preview's scale, runs the look's chain on it with the frame's own time and
// keeps a few finished frames ready; the GUI thread shows the frame that is
// due against the clock (tick), dropping frames that came too late.
//
// A new look or scale reaches the thread as a copy and takes effect on the
// frames it decodes next, without stopping. The end of the movie stops
// playback on its last frame; a movie cut short or damaged stops on its last
// good frame and says why once.
//
// Ownership: owns its thread, its clock and the open movie; the destructor stops and joins the thread.
// Threads: every member is called on the GUI thread (the thread that made the engine); its signals come on
// that thread too.

#include <QImage>
#include <QObject>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>

#include "imaging/EffectSettings.h"
#include "imaging/EffectSteps.h"
#include "imaging/FrameGeometry.h"
#include "platform/filters/Image.h"
#include "preview/PlaybackClock.h"

namespace tintreel {

// Builds the chain a frame at `scale` (1, 0.5, 0.25) of the full size runs through.
using PlaybackChainFactory = std::function<std::unique_ptr<FrameEffect>(const EffectSettings& settings,
                                                                        const Image& logo, double scale)>;

struct PlaybackLook {
    EffectSettings settings;
    std::shared_ptr<const Image> logo = std::make_shared<const Image>();
    // The frame's shape before the look's steps (at full size; the engine scales it).
    ShapeChoice geometry = {};
    // The output's start on the movie's clock (the in point): timed
    // watermarks count from here, as the render's do.
    double clockOrigin = 0.0;
};

// How the last second of playback went, for the indicator and the benchmark.
struct PlaybackStats {
    double framesPerSecond = 0.0;  // shown
    long long shown = 0;           // since play
    long long dropped = 0;         // since play: decoded, never shown
    double meanFrameMs = 0.0;      // decoding and the chain, per frame, lately
};

class PlaybackEngine : public QObject {
    Q_OBJECT
public:
    // Plays `movie`, which the decoding thread opens once, at the first play.
    PlaybackEngine(std::filesystem::path movie, PlaybackChainFactory chain,
                   std::unique_ptr<PlaybackClock> clock, QObject* parent = nullptr);
    ~PlaybackEngine() override;

    // Plays from the last frame at or before `seconds`; the clock starts
    // when that frame is ready. Also a seek while playing.
    void play(double seconds);
    // Stops on the frame on show; its position stays readable.
    void pause();
    bool isPlaying() const { return state_ != State::Stopped; }
    void setLook(PlaybackLook look);
    // Frames at or past `seconds` end playback as the movie's end does (the
    // out point); infinity: only the end.
    void setStopTime(double seconds) { stopAt_ = seconds; }
    // 1 (full size), 2 (half) or 4 (quarter); from the next decoded frame.
    void setShrink(int shrink);
    int shrink() const { return shrink_; }
    // The frame on show: its time and number.
    double seconds() const { return seconds_; }
    qint64 frameIndex() const { return frameIndex_; }
    // Whether playback stopped at the movie's last frame.
    bool reachedEnd() const { return reachedEnd_; }
    PlaybackStats stats() const;
    const PlaybackClock& clock() const { return *clock_; }
    // What the sound controls do to the sound played from now on.
    void shapeSound(const PlaybackShaping& shaping) { clock_->shapeSound(shaping); }

    // Shows the frame due now and handles the end. A timer calls it while
    // playing; tests with a manual clock call it themselves.
    void tick();
    // Waits until the next frame is decoded or the movie has ended, so a test can tick without timing.
    void waitForFrame();

Q_SIGNALS:
    void frameShown(const QImage& picture, double seconds, qint64 frameIndex);
    void playingChanged(bool playing);
    // Playback stopped at the end (`why` empty) or early on damage (`why` says what).
    void stoppedAtEnd(const QString& why);

private:
    enum class State { Stopped, Starting, Playing };
    struct Worker;
    void setState(State state);
    void show(const QImage& picture, double seconds, qint64 index);

    std::unique_ptr<Worker> worker_;
    std::unique_ptr<PlaybackClock> clock_;
    QTimer timer_;
    State state_ = State::Stopped;
    int shrink_ = 1;
    double seconds_ = 0.0;
    qint64 frameIndex_ = 0;
    bool reachedEnd_ = false;
    double stopAt_ = std::numeric_limits<double>::infinity();
    long long shown_ = 0, dropped_ = 0;
    std::vector<double> recentShowTimes_;  // the clock's times of the last frames shown
};

}  // namespace tintreel
