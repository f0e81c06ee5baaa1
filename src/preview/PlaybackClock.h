#pragma once
// PlaybackClock: the time playback shows frames against, in seconds of the
// movie. The sound's clock when the movie has sound and a device plays it
// (PlaybackSound.h), the wall clock otherwise, a clock the caller sets in
// tests.
//
// The engine owns its clock and calls it from the GUI thread only.

#include <chrono>

#include "platform/media/PlaybackAudio.h"

namespace tintreel {

class PlaybackClock {
public:
    virtual ~PlaybackClock() = default;
    // Starts counting from `seconds` (from a pause, a seek or the start).
    virtual void start(double seconds) = 0;
    // Stops counting: a pause, a seek under way, the end.
    virtual void stop() = 0;
    // The movie's time now: what is heard, or what has passed since start.
    virtual double now() const = 0;
    // Which clock this is, for the benchmark's line and the log.
    virtual const char* name() const = 0;
    // What the sound controls do to the sound from now on; a clock without
    // sound has nothing to shape.
    virtual void shapeSound(const PlaybackShaping&) {}
};

class WallClock : public PlaybackClock {
public:
    void start(double seconds) override {
        origin_ = seconds;
        started_ = std::chrono::steady_clock::now();
        running_ = true;
    }
    void stop() override {
        origin_ = now();
        running_ = false;
    }
    double now() const override {
        if (!running_) return origin_;
        return origin_ + std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    }
    const char* name() const override { return "wall"; }

private:
    double origin_ = 0.0;
    std::chrono::steady_clock::time_point started_;
    bool running_ = false;
};

// Stands still where it was started until the test moves it.
class ManualClock : public PlaybackClock {
public:
    void start(double seconds) override { seconds_ = seconds; }
    void stop() override {}
    double now() const override { return seconds_; }
    const char* name() const override { return "manual"; }
    void set(double seconds) { seconds_ = seconds; }

private:
    double seconds_ = 0.0;
};

}  // namespace tintreel
