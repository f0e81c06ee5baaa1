#include "preview/PlaybackEngine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/filters/QtImage.h"
#include "platform/media/MovieSource.h"
#include "platform/media/PlaybackVideo.h"

namespace tintreel {
namespace {

// Frames decoded ahead of the one on show: enough to ride out a slow frame,
// few enough that a changed look shows within a tenth of a second.
constexpr size_t kReadyFrames = 3;
// A frame counts as due this much before its time, so a clock read just
// short of it does not hold the frame back a whole tick.
constexpr double kDueMargin = 0.002;
constexpr int kTickMilliseconds = 4;

using Clock = std::chrono::steady_clock;

}  // namespace

// What the decoding thread hands the GUI thread: a finished frame, or the
// end (with why, when the movie was damaged).
struct ReadyFrame {
    QImage picture;
    double seconds = 0.0;
    qint64 index = 0;
    bool end = false;
    QString why;
};

// The end of the frames; `why` says what cut them short.
ReadyFrame endOfPlayback(QString why = {}) {
    ReadyFrame end;
    end.end = true;
    end.why = std::move(why);
    return end;
}

struct PlaybackEngine::Worker {
    Worker(std::filesystem::path movie, PlaybackChainFactory makeChain)
        : path(std::move(movie)), chainFactory(std::move(makeChain)) {}

    // Shared with the GUI thread, under `mutex`.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<ReadyFrame> ready;
    int generation = 0;  // a new one for each play or seek: older frames are stale
    double target = 0.0;
    bool active = false;
    bool stopping = false;
    std::optional<PlaybackLook> look;  // none: the frames as decoded
    int lookVersion = 0;
    int shrink = 1;
    std::atomic<double> meanFrameMs{0.0};
    std::atomic<double> clockSeconds{-1.0};  // the clock at the last tick while playing; -1 otherwise
    std::atomic<long long> droppedLate{0};   // frames passed over before the chain

    // The decoding thread's own.
    std::filesystem::path path;
    PlaybackChainFactory chainFactory;
    std::unique_ptr<PlaybackVideo> video;
    std::unique_ptr<FrameEffect> chain;
    int chainLookVersion = -1, chainShrink = 0;
    double clockOrigin = 0.0;  // of the look the chain was made for
    int positioned = -1;  // the generation the reader is positioned for
    bool ended = false;
    std::thread thread;

    void run();
    bool hasWork() const {
        return stopping || (active && (generation != positioned || (!ended && ready.size() < kReadyFrames)));
    }
    ReadyFrame produce(bool seekFirst, double seconds, int frameShrink, const PlaybackLook* newLook);
    ReadyFrame finish(const PlaybackFrame& frame);
    bool overtaken(double seconds) const;
    // A running mean of what a frame costs the thread (decoding, the chain, the conversion).
    void noteFrameTime(double ms) { meanFrameMs = meanFrameMs == 0.0 ? ms : 0.9 * meanFrameMs + 0.1 * ms; }
};

void PlaybackEngine::Worker::run() {
    std::unique_lock lock(mutex);
    while (true) {
        changed.wait(lock, [this] { return hasWork(); });
        if (stopping) return;
        const int forGeneration = generation;
        const bool seekFirst = forGeneration != positioned;
        const double seconds = target;
        const int frameShrink = shrink;
        std::optional<PlaybackLook> newLook;
        if (look && (lookVersion != chainLookVersion || frameShrink != chainShrink)) newLook = look;
        const int version = lookVersion;
        lock.unlock();
        const auto started = Clock::now();
        ReadyFrame frame = produce(seekFirst, seconds, frameShrink, newLook ? &*newLook : nullptr);
        if (!frame.end)
            noteFrameTime(std::chrono::duration<double, std::milli>(Clock::now() - started).count());
        lock.lock();
        if (newLook) chainLookVersion = version;
        positioned = forGeneration;
        ended = frame.end;
        if (forGeneration == generation) ready.push_back(std::move(frame));
        changed.notify_all();
    }
}

ReadyFrame PlaybackEngine::Worker::produce(bool seekFirst, double seconds, int frameShrink,
                                           const PlaybackLook* newLook) {
    if (!video) {
        Result<std::shared_ptr<MovieSource>> source = MovieSource::open(path);
        if (!source) return endOfPlayback(QString::fromStdString(source.error()));
        Result<std::unique_ptr<PlaybackVideo>> opened = PlaybackVideo::open(std::move(*source));
        if (!opened) return endOfPlayback(QString::fromStdString(opened.error()));
        video = std::move(*opened);
    }
    if (seekFirst)
        if (Status sought = video->seek(seconds); !sought)
            return endOfPlayback(QString::fromStdString(sought.error()));
    if (newLook) {
        chain = std::make_unique<ShapedEffect>(FrameGeometry(newLook->geometry, 1.0 / frameShrink),
                                               chainFactory(newLook->settings, *newLook->logo, 1.0 / frameShrink));
        chainShrink = frameShrink;
        clockOrigin = newLook->clockOrigin;
    }
    while (true) {
        Result<std::optional<PlaybackFrame>> next = video->next(frameShrink);
        if (!next) return endOfPlayback(QString::fromStdString(next.error()));
        if (!*next) return endOfPlayback();
        if (!overtaken((*next)->seconds)) return finish(**next);
        ++droppedLate;
    }
}

// A frame whose successor is already due would only be shown late, if at
// all: the chain is spared it so the pictures catch up with the clock.
bool PlaybackEngine::Worker::overtaken(double seconds) const {
    const double period = video->framesPerSecond() > 0 ? 1.0 / video->framesPerSecond() : 0.0;
    const double now = clockSeconds;
    return now >= 0.0 && period > 0.0 && seconds + period < now;
}

// The look on the frame, converted for display here so the GUI thread only swaps it in.
ReadyFrame PlaybackEngine::Worker::finish(const PlaybackFrame& frame) {
    const Image looked = chain ? chain->apply(frame.picture, frame.seconds - clockOrigin) : frame.picture;
    QImage picture = toQImage(looked).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return ReadyFrame{std::move(picture), frame.seconds, frame.index, false, {}};
}

PlaybackEngine::PlaybackEngine(std::filesystem::path movie, PlaybackChainFactory chain,
                               std::unique_ptr<PlaybackClock> clock, QObject* parent)
    : QObject(parent),
      worker_(std::make_unique<Worker>(std::move(movie), std::move(chain))),
      clock_(std::move(clock)) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kTickMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &PlaybackEngine::tick);
    worker_->thread = std::thread([worker = worker_.get()] { worker->run(); });
}

PlaybackEngine::~PlaybackEngine() {
    {
        std::lock_guard lock(worker_->mutex);
        worker_->stopping = true;
    }
    worker_->changed.notify_all();
    worker_->thread.join();
    clock_->stop();
}

void PlaybackEngine::play(double seconds) {
    {
        std::lock_guard lock(worker_->mutex);
        ++worker_->generation;
        worker_->target = seconds;
        worker_->active = true;
        worker_->clockSeconds = -1.0;
        worker_->ready.clear();
    }
    worker_->changed.notify_all();
    clock_->stop();
    reachedEnd_ = false;
    shown_ = dropped_ = 0;
    worker_->droppedLate = 0;
    recentShowTimes_.clear();
    setState(State::Starting);
}

void PlaybackEngine::pause() {
    if (state_ == State::Stopped) return;
    {
        std::lock_guard lock(worker_->mutex);
        worker_->active = false;
        worker_->clockSeconds = -1.0;
    }
    clock_->stop();
    setState(State::Stopped);
}

void PlaybackEngine::setLook(PlaybackLook look) {
    {
        std::lock_guard lock(worker_->mutex);
        worker_->look = std::move(look);
        ++worker_->lookVersion;
    }
    worker_->changed.notify_all();
}

void PlaybackEngine::setShrink(int shrink) {
    shrink_ = std::max(1, shrink);
    std::lock_guard lock(worker_->mutex);
    worker_->shrink = shrink_;
}

PlaybackStats PlaybackEngine::stats() const {
    PlaybackStats stats{
        .shown = shown_, .dropped = dropped_ + worker_->droppedLate, .meanFrameMs = worker_->meanFrameMs};
    if (recentShowTimes_.size() > 1)
        stats.framesPerSecond =
            (recentShowTimes_.size() - 1) / (recentShowTimes_.back() - recentShowTimes_.front());
    return stats;
}

void PlaybackEngine::setState(State state) {
    const bool wasPlaying = isPlaying();
    state_ = state;
    if (isPlaying())
        timer_.start();
    else
        timer_.stop();
    if (wasPlaying != isPlaying()) Q_EMIT playingChanged(isPlaying());
}

void PlaybackEngine::tick() {
    if (state_ == State::Stopped) return;
    std::unique_lock lock(worker_->mutex);
    std::deque<ReadyFrame>& ready = worker_->ready;
    if (ready.empty()) return;
    std::optional<ReadyFrame> due;
    const auto ends = [this](const ReadyFrame& frame) { return frame.end || frame.seconds >= stopAt_; };
    if (state_ == State::Starting) {
        if (!ends(ready.front())) {
            due = std::move(ready.front());
            ready.pop_front();
        }
    } else {
        const double now = clock_->now();
        worker_->clockSeconds = now;
        while (!ready.empty() && !ends(ready.front()) && ready.front().seconds <= now + kDueMargin) {
            if (due) ++dropped_;
            due = std::move(ready.front());
            ready.pop_front();
        }
    }
    const bool atEnd = !ready.empty() && ends(ready.front()) && !due;
    const QString why = atEnd && ready.front().end ? ready.front().why : QString();
    lock.unlock();
    worker_->changed.notify_all();
    if (due) {
        if (state_ == State::Starting) {
            clock_->start(worker_->target);
            setState(State::Playing);
        }
        show(due->picture, due->seconds, due->index);
    }
    if (!atEnd) return;
    pause();
    reachedEnd_ = why.isEmpty();
    Q_EMIT stoppedAtEnd(why);
}

void PlaybackEngine::show(const QImage& picture, double seconds, qint64 index) {
    seconds_ = seconds;
    frameIndex_ = index;
    ++shown_;
    recentShowTimes_.push_back(std::chrono::duration<double>(Clock::now().time_since_epoch()).count());
    if (recentShowTimes_.size() > 31) recentShowTimes_.erase(recentShowTimes_.begin());
    Q_EMIT frameShown(picture, seconds, index);
}

void PlaybackEngine::waitForFrame() {
    std::unique_lock lock(worker_->mutex);
    worker_->changed.wait(lock, [this] {
        return !worker_->active || worker_->ready.size() >= kReadyFrames ||
               (!worker_->ready.empty() && worker_->ready.back().end);
    });
}

}  // namespace tintreel
