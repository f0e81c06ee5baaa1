#include "platform/media/MovieReader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/media/MediaInput.h"
#include "platform/media/MovieWriter.h"
#include "platform/media/SampleQueue.h"
#include "platform/media/StreamEnd.h"
#include "platform/system/Log.h"

namespace tintreel {
using namespace media;

namespace {

// A few frames in flight between the stages keep every thread busy; more
// would only cost memory.
constexpr int kDecodedFrames = 3;   // decoded, waiting for the frame operation
constexpr int kFinishedFrames = 2;  // worked on, waiting for the encoder
constexpr int kQueuedPackets = 512;

int64_t nowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Whether one stage of the pipeline is inside a piece of work, and since when.
class BusyClock {
public:
    void begin() {
        since_ = nowNanos();
        busy_ = true;
    }
    void end() { busy_ = false; }
    bool busy() const { return busy_; }
    // Work under way creeps toward 1 and never reaches it, so a frame that
    // takes long keeps moving while a stopped stage does not.
    double creep(int64_t typicalNanos) const {
        const double elapsed = static_cast<double>(nowNanos() - since_.load());
        return elapsed / (elapsed + static_cast<double>(std::max<int64_t>(typicalNanos, 1)));
    }

private:
    std::atomic<bool> busy_{false};
    std::atomic<int64_t> since_{0};
};

int64_t expectedFrameCount(const AVFormatContext& input, const AVStream& stream) {
    if (stream.nb_frames > 0) return stream.nb_frames;
    const AVRational rate = stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) return 0;
    return std::llround(durationSeconds(input) * av_q2d(rate));
}

}  // namespace

struct MovieReader::Impl {
    std::shared_ptr<MovieSource> source;
    AVFormatContext* input = nullptr;  // the source's
    int videoIndex = -1;
    std::vector<bool> isAudio;
    std::vector<bool> isSubtitle;
    VideoDecoder decoder;
    RgbaConverter converter;
    int64_t expectedFrames = 0;
    int64_t sizeAtOpen = -1;             // bytes of the file when it was opened, when known
    std::optional<StreamEnd> streamEnd;  // how far the packets read reach; decoding thread only
    // The frames delivered, by timestamp in the video stream's time base:
    // [rangeStart, rangeEnd). Decoding stops at the first frame past the end.
    int64_t rangeStart = INT64_MIN;
    int64_t rangeEnd = INT64_MAX;
    bool pastRange = false;  // decoding thread only
    // A span (selectSpan) rather than a slice: the frame shown at its start
    // is delivered even when its timestamp lies before, the sound is read on
    // to the span's end, and the operation's clock starts at the span.
    bool cutsSpan = false;
    bool clockFromSpan = false;  // a span or a slice of one: the clock starts at spanIn
    double spanIn = 0.0;
    FramePtr heldFrame = makeFrame();  // the latest frame before the span, decoding thread only
    std::vector<bool> audioPastRange;  // by stream; a span reads each audio track to its end

    SampleQueue decoded{kDecodedFrames, kQueuedPackets};
    SampleQueue finishedFrames{kFinishedFrames, kQueuedPackets};
    std::atomic<bool> stopping{false};
    std::thread decodeThread;
    std::thread operateThread;
    std::thread writeThread;

    // Frames that have left each stage, in order: decoded, worked on, written.
    std::atomic<int64_t> framesDecoded{0};
    // Video packets fed to the decoder since it last gave a frame: a decoder
    // that needs several packets per picture is still working on it.
    std::atomic<int64_t> packetsSinceFrame{0};
    std::atomic<int64_t> framesOperated{0};
    std::atomic<int64_t> framesWritten{0};
    std::atomic<int64_t> lastWritten{0};  // when the latest frame was written
    std::atomic<int64_t> typicalFrame{50'000'000};
    BusyClock decoding, operating, writing;
    std::atomic<bool> delivering{false};  // false once delivery has ended, for whatever reason
    std::atomic<bool> finished{false};
    // The highest progress reported so far: what progress() returns never goes back.
    mutable std::atomic<float> reported{0.0f};
    // Why the decoder gave up; written before its error sample is queued, read after it is taken.
    std::string decodeFailure;
    mutable std::mutex failureMutex;
    std::optional<Error> failure;  // set once, by the delivery thread

    void decodeLoop();
    bool inputShrank() const;
    bool routePacket(AVPacket& packet, AVFrame& frame);
    bool queueDecodedFrames(AVFrame& frame);
    bool keepFrame(int64_t timestamp);
    bool holdBeforeSpan(AVFrame& frame, int64_t timestamp);
    bool pushFrame(AVFrame& frame, int64_t timestamp, int status);
    bool releaseHeldFrame(int64_t nextTimestamp);
    bool soundStillInRange(const AVPacket& packet);
    int64_t firstTimestamp() const;  // of the video stream, 0 when unknown
    int64_t streamTicks(double seconds) const;
    double frameSeconds(int64_t timestamp);  // operation thread only
    double lastFrameSeconds = std::nan("");
    Status seekToKeyFrameBefore(int64_t timestamp);
    std::optional<int64_t> nextKeyFrameTimestamp();
    // Damage read from a file that shrank is the shrinking, said as such.
    std::string damaged(const std::string& what) const {
        return inputShrank() ? "the file became shorter while it was read" : "the movie is damaged: " + what;
    }
    void queueError(std::string why) {
        decodeFailure = std::move(why);
        decoded.push(Sample{Sample::Kind::Error, {}, AV_NOPTS_VALUE, nullptr});
    }

    void operateLoop(const FrameOperation& operation);
    void writeLoop(MovieWriter& writer, const std::function<void()>& onAdvance);
    Status write(Sample& sample, MovieWriter& writer);
    Status writeFrame(Sample& sample, MovieWriter& writer);
    double partOfNextFrame() const;
    // Memory that runs out inside a stage fails this movie, not the process:
    // the failure closes the queues, which ends every stage, and the writing
    // thread rings the caller once.
    std::atomic<bool> stageFailed{false};
    template <class Stage>
    void runStage(const Stage& stage) {
        try {
            stage();
        } catch (const std::bad_alloc&) {
            recordFailure("not enough memory");
            stageFailed = true;
            decoded.close();
            finishedFrames.close();
        }
    }
    void recordFailure(const std::string& why) {
        std::lock_guard lock(failureMutex);
        failure = Error{why};
    }
};

void MovieReader::Impl::decodeLoop() {
    PacketPtr packet = makePacket();
    FramePtr frame = makeFrame();
    while (!stopping) {
        const int status = av_read_frame(input, packet.get());
        if (status == AVERROR_EOF && inputShrank())
            return queueError("the file became shorter while it was read");
        if (status == AVERROR_EOF) break;
        if (status < 0) return queueError(errorText(status));
        if (const Status whole = checkPacketWhole(*input, *packet); !whole)
            return queueError(damaged(whole.error()));
        streamEnd->saw(*packet);
        if (pastRange && !soundStillInRange(*packet)) break;
        if (!routePacket(*packet, *frame)) return;
    }
    if (pastRange) return (void)decoded.push(Sample{Sample::Kind::End, {}, AV_NOPTS_VALUE, nullptr});
    if (const Status reached = streamEnd->checkReachedEnd(); !reached && !stopping)
        return queueError("the movie is cut short: " + reached.error());
    if (stopping || decoder.send(nullptr) < 0 || !queueDecodedFrames(*frame)) return;
    if (!releaseHeldFrame(AV_NOPTS_VALUE)) return;
    decoded.push(Sample{Sample::Kind::End, {}, AV_NOPTS_VALUE, nullptr});
}

// A file cut short while it is being read ends early where its end now is,
// which the demuxer reports as a normal end: a movie that shrank under us is
// a failure, not a shorter movie.
bool MovieReader::Impl::inputShrank() const {
    return sizeAtOpen > 0 && input->pb && avio_size(input->pb) < sizeAtOpen;
}

bool MovieReader::Impl::routePacket(AVPacket& packet, AVFrame& frame) {
    const int stream = packet.stream_index;
    if (stream == videoIndex && pastRange) {
        av_packet_unref(&packet);
        return true;
    }
    if (stream == videoIndex) {
        decoding.begin();
        const int status = decoder.send(&packet);
        ++packetsSinceFrame;
        decoding.end();
        av_packet_unref(&packet);
        // A packet the decoder refuses loses its frame: the render would be
        // missing a piece of the movie, so it fails like any other error.
        if (status < 0) {
            queueError(status == AVERROR_INVALIDDATA ? damaged("the decoder refused a frame")
                                                     : errorText(status));
            return false;
        }
        return queueDecodedFrames(frame);
    }
    const bool known = stream >= 0 && stream < static_cast<int>(isAudio.size());
    if (known && (isAudio[stream] || isSubtitle[stream])) {
        Sample sample{
            isAudio[stream] ? Sample::Kind::Audio : Sample::Kind::Subtitle, {}, AV_NOPTS_VALUE, makePacket()};
        av_packet_move_ref(sample.packet.get(), &packet);
        return decoded.push(std::move(sample));
    }
    av_packet_unref(&packet);
    return true;
}

bool MovieReader::Impl::queueDecodedFrames(AVFrame& frame) {
    while (true) {
        // Receiving can block while the decoder's threads finish a frame (a
        // very large one takes seconds): that is work under way, not a stall.
        decoding.begin();
        const int status = decoder.receive(&frame);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) {
            decoding.end();
            return true;
        }
        const int64_t timestamp = frameTimestamp(frame);
        if (status >= 0 && holdBeforeSpan(frame, timestamp)) {
            decoding.end();
            continue;
        }
        if (status >= 0 && !keepFrame(timestamp)) {
            decoding.end();
            av_frame_unref(&frame);
            if (pastRange) return releaseHeldFrame(AV_NOPTS_VALUE);
            continue;
        }
        if (status >= 0 && !releaseHeldFrame(timestamp)) return false;
        if (!pushFrame(frame, timestamp, status)) return false;
    }
}

// Converts a decoded frame (or reports the decoder's failure `status`) and
// hands it to the operation stage.
bool MovieReader::Impl::pushFrame(AVFrame& frame, int64_t timestamp, int status) {
    std::optional<Image> image = status < 0 ? std::nullopt : converter.convert(frame);
    decoding.end();
    av_frame_unref(&frame);
    if (!image) {
        queueError(status < 0 ? errorText(status) : "a decoded frame could not be converted");
        return false;
    }
    // Counted before it is handed on, so the stage after never has it uncounted.
    packetsSinceFrame = 0;
    ++framesDecoded;
    return decoded.push(Sample{Sample::Kind::Video, std::move(*image), timestamp, nullptr});
}

// A span starts with the frame shown at its in point, which may have been
// decoded before it: each frame before the span is kept until the next one
// replaces it. True when `frame` was taken.
bool MovieReader::Impl::holdBeforeSpan(AVFrame& frame, int64_t timestamp) {
    if (!cutsSpan || timestamp == AV_NOPTS_VALUE || timestamp >= rangeStart) return false;
    av_frame_unref(heldFrame.get());
    av_frame_move_ref(heldFrame.get(), &frame);
    return true;
}

// Delivers the held frame when the next one (`nextTimestamp`, none at the
// end) is shown after the span's start: the held one is on screen at it.
bool MovieReader::Impl::releaseHeldFrame(int64_t nextTimestamp) {
    if (!heldFrame->buf[0]) return true;
    if (nextTimestamp != AV_NOPTS_VALUE && nextTimestamp <= rangeStart) {
        av_frame_unref(heldFrame.get());
        return true;
    }
    const int64_t timestamp = frameTimestamp(*heldFrame);
    decoding.begin();
    return pushFrame(*heldFrame, timestamp, 0);
}

// After the picture has passed a span's end, packets are still read until
// each audio track has reached it too, so the sound is not cut short.
// Whether `packet` is still wanted; false once every audio track is done.
bool MovieReader::Impl::soundStillInRange(const AVPacket& packet) {
    if (!cutsSpan) return false;
    const int stream = packet.stream_index;
    if (stream >= 0 && stream < static_cast<int>(isAudio.size()) && isAudio[stream] &&
        packet.pts != AV_NOPTS_VALUE) {
        const AVStream& video = *input->streams[videoIndex];
        const int64_t end = av_rescale_q(rangeEnd, video.time_base, input->streams[stream]->time_base);
        if (packet.pts >= end) audioPastRange[stream] = true;
    }
    for (std::size_t i = 0; i < isAudio.size(); ++i)
        if (isAudio[i] && !audioPastRange[i]) return true;
    return false;
}

// Whether a decoded frame is in the selected range. A frame without a
// timestamp cannot be placed in a range: only a reader of the whole movie
// keeps it. Frames before the range are dropped without counting as
// decoded, but the packets fed for them still move progress, so a long
// run-up to a late start is no stall.
bool MovieReader::Impl::keepFrame(int64_t timestamp) {
    if (timestamp == AV_NOPTS_VALUE) return rangeStart == INT64_MIN && rangeEnd == INT64_MAX;
    if (timestamp >= rangeEnd) pastRange = true;
    return timestamp >= rangeStart && !pastRange;
}

int64_t MovieReader::Impl::firstTimestamp() const {
    const int64_t start = input->streams[videoIndex]->start_time;
    return start == AV_NOPTS_VALUE ? 0 : start;
}

// Seconds from the first frame's timestamp, as a timestamp of the video stream.
int64_t MovieReader::Impl::streamTicks(double seconds) const {
    return firstTimestamp() + std::llround(seconds / av_q2d(input->streams[videoIndex]->time_base));
}

double MovieReader::Impl::frameSeconds(int64_t timestamp) {
    const AVStream& stream = *input->streams[videoIndex];
    if (timestamp != AV_NOPTS_VALUE) {
        const double seconds = static_cast<double>(timestamp - firstTimestamp()) * av_q2d(stream.time_base);
        lastFrameSeconds = clockFromSpan ? std::max(seconds - spanIn, 0.0) : seconds;
    } else if (std::isnan(lastFrameSeconds)) {
        lastFrameSeconds = 0.0;
    } else {
        const AVRational rate = stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
        lastFrameSeconds += rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0.0;
    }
    return lastFrameSeconds;
}

// The timestamp of the next video key frame the demuxer returns (its
// decoding time when it has no presentation time), reading past everything
// before it.
std::optional<int64_t> MovieReader::Impl::nextKeyFrameTimestamp() {
    PacketPtr packet = makePacket();
    while (av_read_frame(input, packet.get()) >= 0) {
        const bool key = packet->stream_index == videoIndex && (packet->flags & AV_PKT_FLAG_KEY);
        const int64_t timestamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        av_packet_unref(packet.get());
        if (key) return timestamp;
    }
    return std::nullopt;
}

// Positions the demuxer on a key frame shown no later than `timestamp`.
// Demuxers seek by decoding time or by file position, and the key frame
// found can be shown after the target: then the search steps further back,
// one second, two, four, ..., past the first frame if need be (a seek to the
// first frame's own time does not always land before it). A movie in which
// no key frame before the target can be found is not cut: that would lose
// frames.
Status MovieReader::Impl::seekToKeyFrameBefore(int64_t timestamp) {
    const int64_t first = firstTimestamp();
    int64_t step = std::max<int64_t>(1, streamTicks(1.0) - first);
    for (int64_t target = timestamp;; target -= step, step *= 2) {
        if (int error = av_seek_frame(input, videoIndex, target, AVSEEK_FLAG_BACKWARD); error < 0)
            return Error{"cannot seek in the movie: " + errorText(error)};
        const std::optional<int64_t> key = nextKeyFrameTimestamp();
        if (key && *key != AV_NOPTS_VALUE && *key > timestamp) {
            if (target >= first) continue;
            return Error{"no key frame found before the slice"};
        }
        const int error = av_seek_frame(input, videoIndex, target, AVSEEK_FLAG_BACKWARD);
        return error < 0 ? Status(Error{"cannot seek in the movie: " + errorText(error)}) : Status();
    }
}

// The middle stage: every frame through the operation, everything else
// passed on in file order.
void MovieReader::Impl::operateLoop(const FrameOperation& operation) {
    while (std::optional<Sample> sample = decoded.pop()) {
        const bool isFrame = sample->kind == Sample::Kind::Video;
        if (isFrame && operation) {
            operating.begin();
            sample->frame = operation(sample->frame, frameSeconds(sample->timestamp));
            operating.end();
        }
        if (isFrame) ++framesOperated;  // before the writer can take it
        if (!finishedFrames.push(std::move(*sample))) return;
    }
}

void MovieReader::Impl::writeLoop(MovieWriter& writer, const std::function<void()>& onAdvance) {
    while (std::optional<Sample> sample = finishedFrames.pop()) {
        const Status written = write(*sample, writer);
        if (!written) recordFailure(written.error());
        // Copied packets move no progress; frames, the end and a failure do.
        if (onAdvance && (!sample->isPacket() || !written)) onAdvance();
        if (finished || !written) return;
    }
}

Status MovieReader::Impl::write(Sample& sample, MovieWriter& writer) {
    switch (sample.kind) {
        case Sample::Kind::Video:
            return writeFrame(sample, writer);
        case Sample::Kind::Audio:
            return writer.appendAudioPacket(*sample.packet);
        case Sample::Kind::Subtitle:
            return writer.appendSubtitlePacket(*sample.packet);
        case Sample::Kind::End:
            finished = true;
            return {};
        case Sample::Kind::Error:
            break;
    }
    return Error{decodeFailure};
}

Status MovieReader::Impl::writeFrame(Sample& sample, MovieWriter& writer) {
    writing.begin();
    Status written = writer.appendFrame(sample.frame, sample.timestamp);
    writing.end();
    if (!written) return written;
    // The pipeline's pace: a running average of the time between two written
    // frames sets how fast progress creeps within the next one.
    const int64_t now = nowNanos();
    typicalFrame = (typicalFrame.load() * 7 + (now - lastWritten.load())) / 8;
    lastWritten = now;
    ++framesWritten;
    return written;
}

// How far the next frame to be written has come: decoding [0, 0.1), the
// operation [0.1, 0.6), the encoder [0.6, 1). A frame handed on keeps the
// start of its next stage, so the gaps between two stages never look like a
// step back; inside a stage only work done or under way moves it (packets
// fed to the decoder, time inside a call), never waiting on a stage that
// reads nothing or is stuck.
double MovieReader::Impl::partOfNextFrame() const {
    if (!delivering) return 0.0;
    const int64_t typical = typicalFrame.load();
    const int64_t next = framesWritten.load();
    if (framesOperated.load() > next) return 0.6 + (writing.busy() ? 0.4 * writing.creep(typical) : 0.0);
    if (framesDecoded.load() > next) return 0.1 + (operating.busy() ? 0.5 * operating.creep(typical) : 0.0);
    // Decoding counts the packets fed for this picture and creeps while one is decoded.
    const double fed =
        static_cast<double>(packetsSinceFrame.load()) + (decoding.busy() ? decoding.creep(typical) : 0.0);
    return 0.1 * fed / (fed + 4.0);
}

Result<std::unique_ptr<MovieReader>> MovieReader::open(const std::filesystem::path& path) {
    Result<std::shared_ptr<MovieSource>> source = MovieSource::open(path);
    if (!source) return Error{source.error()};
    return open(std::move(*source));
}

Result<std::unique_ptr<MovieReader>> MovieReader::open(std::shared_ptr<MovieSource> source) {
    auto impl = std::make_unique<Impl>();
    impl->input = &source->input();
    impl->videoIndex = source->videoStreamIndex();
    const int status = impl->videoIndex < 0 ? AVERROR_STREAM_NOT_FOUND
                                            : impl->decoder.open(*impl->input->streams[impl->videoIndex]);
    if (status < 0) return Error{errorText(status)};
    source->interruptReads(false);
    impl->source = std::move(source);
    const AVFormatContext& input = *impl->input;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        impl->isAudio.push_back(input.streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO);
        impl->isSubtitle.push_back(input.streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE);
    }
    impl->expectedFrames = expectedFrameCount(input, *input.streams[impl->videoIndex]);
    if (input.pb) impl->sizeAtOpen = avio_size(input.pb);
    impl->streamEnd.emplace(input);
    return std::make_unique<MovieReader>(OpenKey{}, std::move(impl));
}

MovieReader::MovieReader(OpenKey, std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

MovieReader::~MovieReader() {
    stopProcessing();
}

Status MovieReader::selectRange(const FrameRange& range) {
    Impl& d = *impl_;
    if (d.decodeThread.joinable()) return Error{"the range of a running reader cannot change"};
    const double duration = durationSeconds(*d.input);
    if (std::isfinite(range.end)) d.rangeEnd = d.streamTicks(range.end);
    if (std::isfinite(range.start)) d.rangeStart = d.streamTicks(range.start);
    // Progress counts the frames of the range, a share of the movie's.
    if (duration > 0) {
        const double share = (std::min(range.end, duration) - std::max(range.start, 0.0)) / duration;
        d.expectedFrames = std::llround(static_cast<double>(d.expectedFrames) * std::clamp(share, 0.0, 1.0));
    }
    return std::isfinite(range.start) && range.start > 0 ? d.seekToKeyFrameBefore(d.rangeStart) : Status();
}

Status MovieReader::selectSpan(const MovieSpan& span) {
    Impl& d = *impl_;
    if (d.decodeThread.joinable()) return Error{"the span of a running reader cannot change"};
    d.cutsSpan = true;
    d.clockFromSpan = true;
    d.spanIn = std::max(span.in, 0.0);
    d.audioPastRange.assign(d.isAudio.size(), false);
    return selectRange(FrameRange{d.spanIn, span.out});
}

Status MovieReader::selectSliceOfSpan(const MovieSpan& span, const FrameRange& range) {
    Impl& d = *impl_;
    if (d.decodeThread.joinable()) return Error{"the span of a running reader cannot change"};
    const double end = std::min(range.end, span.out);
    // The first slice starts the span, with the frame shown at its in point.
    if (!std::isfinite(range.start) || range.start <= span.in) {
        const Status selected = selectSpan(MovieSpan{span.in, end});
        d.audioPastRange.assign(d.isAudio.size(), true);  // the slice carries no sound to read on for
        return selected;
    }
    d.clockFromSpan = true;
    d.spanIn = std::max(span.in, 0.0);
    return selectRange(FrameRange{range.start, end});
}

bool MovieReader::startProcessing(FrameOperation operation, MovieWriter& writer,
                                  std::function<void()> onAdvance) {
    Impl& d = *impl_;
    if (d.decodeThread.joinable() || d.stopping) return false;
    if (const auto notice = eightBitNotice(*d.input->streams[d.videoIndex]->codecpar)) logLine(*notice);
    d.lastWritten = nowNanos();
    d.delivering = true;
    // The stages' lines belong to the render that started them.
    const ScopedThreadLogSink* log = ScopedThreadLogSink::current();
    d.decodeThread = std::thread([&d, log] {
        const ScopedThreadLogSink inherited(log);
        d.runStage([&d] { d.decodeLoop(); });
    });
    d.operateThread = std::thread([&d, log, operation = std::move(operation)] {
        const ScopedThreadLogSink inherited(log);
        d.runStage([&] { d.operateLoop(operation); });
    });
    d.writeThread = std::thread([&d, &writer, log, onAdvance = std::move(onAdvance)] {
        const ScopedThreadLogSink inherited(log);
        d.runStage([&] { d.writeLoop(writer, onAdvance); });
        d.delivering = false;
        if (d.stageFailed && onAdvance) onAdvance();
    });
    return true;
}

void MovieReader::stopProcessing() {
    Impl& d = *impl_;
    d.stopping = true;
    d.source->interruptReads(true);
    d.decoded.close();
    d.finishedFrames.close();
    for (std::thread* stage : {&d.writeThread, &d.operateThread, &d.decodeThread})
        if (stage->joinable()) stage->join();
}

float MovieReader::progress() const {
    const Impl& d = *impl_;
    if (d.finished) return 1.0f;
    const double units = static_cast<double>(d.framesWritten.load()) + d.partOfNextFrame();
    // An estimate that falls short of the real count still leaves room below 1.
    const double total = std::max(static_cast<double>(d.expectedFrames), units + 1.0);
    const float now = std::min(static_cast<float>(units / total), std::nextafter(1.0f, 0.0f));
    float highest = d.reported.load();
    while (now > highest && !d.reported.compare_exchange_weak(highest, now)) {
    }
    return std::max(now, highest);
}

long long MovieReader::framesDelivered() const {
    return impl_->framesWritten.load();
}

std::optional<Error> MovieReader::failure() const {
    std::lock_guard lock(impl_->failureMutex);
    return impl_->failure;
}

const AVFormatContext& MovieReader::input() const {
    return *impl_->input;
}
const MovieSource& MovieReader::source() const {
    return *impl_->source;
}
int MovieReader::videoStreamIndex() const {
    return impl_->videoIndex;
}

}  // namespace tintreel
