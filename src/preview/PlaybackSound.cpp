#include "preview/PlaybackSound.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/media/PlaybackAudio.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace {

// How much decoded sound waits for the device: enough to ride out a busy
// moment of the machine, little enough that a seek starts at once.
constexpr double kBufferedSeconds = 0.5;

// The decoded sound between the decoding thread and the device, which pulls
// it on the GUI thread. It hands over only what is there, so a device that
// outruns the decoder waits, and the clock with it, instead of playing
// silence the pictures would not follow.
class SoundBuffer : public QIODevice {
public:
    explicit SoundBuffer(PlaybackAudio& audio, SoundFormat format)
        : audio_(audio),
          capacity_(static_cast<size_t>(kBufferedSeconds * format.sampleRate) * format.bytesPerFrame()) {
        thread_ = std::thread([this] { decodeLoop(); });
    }
    ~SoundBuffer() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    bool isSequential() const override { return true; }
    // The track has ended and the device has taken all of it.
    bool drained() {
        std::lock_guard lock(mutex_);
        return finished_ && bytes_.empty() && !seekTo_;
    }
    // Starts again at `seconds`, with nothing buffered.
    void restartAt(double seconds) {
        {
            std::lock_guard lock(mutex_);
            bytes_.clear();
            seekTo_ = seconds;
            finished_ = false;
        }
        changed_.notify_all();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        std::lock_guard lock(mutex_);
        const qint64 count = std::min<qint64>(maxSize, static_cast<qint64>(bytes_.size()));
        std::copy_n(bytes_.begin(), count, data);
        bytes_.erase(bytes_.begin(), bytes_.begin() + count);
        changed_.notify_all();
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    void decodeLoop() {
        std::unique_lock lock(mutex_);
        while (true) {
            changed_.wait(
                lock, [this] { return stopping_ || seekTo_ || (!finished_ && bytes_.size() < capacity_); });
            if (stopping_) return;
            const std::optional<double> seekTo = std::exchange(seekTo_, std::nullopt);
            lock.unlock();
            if (seekTo) (void)audio_.seek(*seekTo);
            std::optional<SoundChunk> chunk = audio_.next();
            lock.lock();
            if (seekTo_) continue;  // a newer seek: this chunk is stale
            if (!chunk)
                finished_ = true;
            else
                bytes_.insert(bytes_.end(), chunk->bytes.begin(), chunk->bytes.end());
        }
    }

    PlaybackAudio& audio_;
    const size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<char> bytes_;
    std::optional<double> seekTo_;
    bool finished_ = true;
    bool stopping_ = false;
    std::thread thread_;
};

QAudioFormat deviceFormat(const QAudioDevice& device, SoundFormat& ours) {
    QAudioFormat format = device.preferredFormat();
    ours.sampleRate = format.sampleRate() > 0 ? format.sampleRate() : 48000;
    ours.channels = std::clamp(format.channelCount(), 1, 2);
    ours.kind = format.sampleFormat() == QAudioFormat::Float ? SampleKind::Float : SampleKind::Int16;
    format.setSampleRate(ours.sampleRate);
    format.setChannelCount(ours.channels);
    format.setSampleFormat(ours.kind == SampleKind::Float ? QAudioFormat::Float : QAudioFormat::Int16);
    return format;
}

class SoundClock : public PlaybackClock {
public:
    SoundClock(std::unique_ptr<PlaybackAudio> audio, SoundFormat format, const QAudioFormat& deviceFormat,
               const QAudioDevice& device)
        : audio_(std::move(audio)),
          format_(format),
          deviceFormat_(deviceFormat),
          device_(device),
          buffer_(*audio_, format) {
        buffer_.open(QIODevice::ReadOnly);
    }
    ~SoundClock() override {
        if (sink_) sink_->stop();
    }

    void start(double seconds) override {
        buffer_.restartAt(seconds);
        origin_ = latest_ = seconds;
        afterSound_.reset();
        if (fallback_) return fallback_->start(seconds);
        // Every start gets a new sink: a sink stopped and started again may
        // come back with a buffer of a few bytes that it never plays, and
        // then neither the sound nor the clock moves.
        if (sink_) sink_->stop();
        sink_ = std::make_unique<QAudioSink>(device_, deviceFormat_);
        sink_->start(&buffer_);
        if (sink_->error() != QAudio::NoError) {
            logLine("Playback: the sound device did not start; playing by the wall clock");
            fallback_ = std::make_unique<WallClock>();
            return fallback_->start(seconds);
        }
        playedAtStart_ = sink_->processedUSecs();
        running_ = true;
    }
    void stop() override {
        if (fallback_) return fallback_->stop();
        origin_ = now();
        running_ = false;
        if (sink_) sink_->stop();
    }
    // The sound taken by the device less what it still holds; once the
    // track has ended before the pictures, the time goes on by the wall clock.
    double now() const override {
        if (fallback_) return fallback_->now();
        if (!running_) return origin_;
        if (afterSound_) return afterSound_->now();
        const double taken = static_cast<double>(sink_->processedUSecs() - playedAtStart_) / 1e6;
        const double held = static_cast<double>(sink_->bufferSize() - sink_->bytesFree()) /
                            (format_.sampleRate * format_.bytesPerFrame());
        latest_ = std::max(latest_, origin_ + std::max(0.0, taken - held));
        if (sink_->state() == QAudio::IdleState && buffer_.drained()) {
            afterSound_ = std::make_unique<WallClock>();
            afterSound_->start(latest_);
        }
        return latest_;
    }
    const char* name() const override { return fallback_ ? "wall" : "audio"; }
    void shapeSound(const PlaybackShaping& shaping) override { audio_->setShaping(shaping); }

private:
    std::unique_ptr<PlaybackAudio> audio_;
    SoundFormat format_;
    QAudioFormat deviceFormat_;
    QAudioDevice device_;
    mutable SoundBuffer buffer_;
    std::unique_ptr<QAudioSink> sink_;  // made by each start
    std::unique_ptr<WallClock> fallback_;
    double origin_ = 0.0;
    qint64 playedAtStart_ = 0;
    bool running_ = false;
    mutable std::unique_ptr<WallClock> afterSound_;  // the clock once the sound has ended
    mutable double latest_ = 0.0;                    // the clock never runs backwards between two reads
};

}  // namespace

std::unique_ptr<PlaybackClock> makePlaybackClock(const std::filesystem::path& movie, int audioTracks) {
    if (audioTracks == 0) return std::make_unique<WallClock>();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        logLine("Playback: no sound device; playing by the wall clock");
        return std::make_unique<WallClock>();
    }
    SoundFormat format;
    const QAudioFormat wanted = deviceFormat(device, format);
    Result<std::unique_ptr<PlaybackAudio>> audio = PlaybackAudio::open(movie, format);
    if (!audio || !*audio) {
        logLine("Playback: the sound cannot be decoded; playing by the wall clock");
        return std::make_unique<WallClock>();
    }
    return std::make_unique<SoundClock>(std::move(*audio), format, wanted, device);
}

}  // namespace tintreel
