#pragma once
// Internal to the media layer: the queue between a MovieReader's decoding
// thread and its delivery thread. One FIFO (so audio and video stay in file
// order) with separate limits for decoded frames, which are large, and for
// copied packets (audio, subtitles), which are small but many.
//
// Threads: one producer, one consumer; close() from any thread wakes both.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/filters/Image.h"
#include "platform/media/FfmpegHandles.h"

namespace tintreel::media {

struct Sample {
    enum class Kind { Video, Audio, Subtitle, End, Error };
    Kind kind = Kind::End;
    Image frame;                         // Video
    int64_t timestamp = AV_NOPTS_VALUE;  // Video, in the source stream's time base
    PacketPtr packet;                    // Audio and Subtitle

    bool isPacket() const { return kind == Kind::Audio || kind == Kind::Subtitle; }
};

class SampleQueue {
public:
    SampleQueue(int frameLimit, int packetLimit) : frameLimit_(frameLimit), packetLimit_(packetLimit) {}

    // Waits for room; false once the queue is closed.
    bool push(Sample sample) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || hasRoomFor(sample); });
        if (closed_) return false;
        count(sample, +1);
        items_.push_back(std::move(sample));
        changed_.notify_all();
        return true;
    }

    // Waits for the next sample; nothing once the queue is closed.
    std::optional<Sample> pop() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || !items_.empty(); });
        if (closed_) return std::nullopt;
        Sample sample = std::move(items_.front());
        items_.pop_front();
        count(sample, -1);
        changed_.notify_all();
        return sample;
    }

    void close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        items_.clear();
        changed_.notify_all();
    }

private:
    bool hasRoomFor(const Sample& sample) const {
        if (sample.kind == Sample::Kind::Video) return frames_ < frameLimit_;
        if (sample.isPacket()) return packets_ < packetLimit_;
        return true;
    }
    void count(const Sample& sample, int delta) {
        if (sample.kind == Sample::Kind::Video) frames_ += delta;
        if (sample.isPacket()) packets_ += delta;
    }

    const int frameLimit_;
    const int packetLimit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Sample> items_;
    int frames_ = 0;
    int packets_ = 0;
    bool closed_ = false;
};

}  // namespace tintreel::media
