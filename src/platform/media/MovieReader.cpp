#include "platform/media/MovieReader.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/media/MediaInput.h"
#include "platform/media/MovieWriter.h"
#include "platform/media/SampleQueue.h"

namespace tintreel {
using namespace media;

namespace {

// A few decoded frames in flight keep both threads busy; more would only cost memory.
constexpr int kQueuedFrames = 3;
constexpr int kQueuedPackets = 512;

// Stages of the frame being delivered; each covers part of a frame in progress():
// waiting for the decoder [0, 0.1), the frame operation [0.1, 0.6), the writer [0.6, 1).
enum Stage : int64_t { kWaiting = 0, kOperating = 1, kWriting = 2, kStages = 3 };
constexpr double kStageStart[kStages + 1] = {0.0, 0.1, 0.6, 1.0};

int64_t nowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t expectedFrameCount(const AVFormatContext& input, const AVStream& stream) {
    if (stream.nb_frames > 0) return stream.nb_frames;
    const AVRational rate = stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) return 0;
    return std::llround(durationSeconds(input) * av_q2d(rate));
}

}  // namespace

struct MovieReader::Impl {
    InputContextPtr input;
    int videoIndex = -1;
    std::vector<bool> isAudio;
    VideoDecoder decoder;
    RgbaConverter converter;
    int64_t expectedFrames = 0;
    int64_t sizeAtOpen = -1;  // bytes of the file when it was opened, when known

    SampleQueue queue{kQueuedFrames, kQueuedPackets};
    std::atomic<bool> stopping{false};
    std::thread decodeThread;
    std::thread deliveryThread;

    // Frames delivered times kStages plus the stage of the current frame.
    std::atomic<int64_t> position{0};
    std::atomic<int64_t> stageStart{0};
    std::atomic<int64_t> typicalFrame{50'000'000};
    std::atomic<bool> decoderBusy{false};
    std::atomic<bool> delivering{false};  // false once delivery has ended, for whatever reason
    std::atomic<bool> finished{false};
    // The highest progress reported so far: what progress() returns never goes back.
    mutable std::atomic<float> reported{0.0f};
    // Why the decoder gave up; written before its error sample is queued, read after it is taken.
    std::string decodeFailure;
    mutable std::mutex failureMutex;
    std::optional<Error> failure;  // set once, by the delivery thread

    static int interrupted(void* self) { return static_cast<Impl*>(self)->stopping.load() ? 1 : 0; }

    void decodeLoop();
    bool inputShrank() const;
    bool routePacket(AVPacket& packet, AVFrame& frame);
    bool queueDecodedFrames(AVFrame& frame);
    void queueError(std::string why) {
        decodeFailure = std::move(why);
        queue.push(Sample{Sample::Kind::Error, {}, AV_NOPTS_VALUE, nullptr});
    }

    void deliveryLoop(const FrameOperation& operation, MovieWriter& writer,
                      const std::function<void()>& onAdvance);
    Status deliver(Sample& sample, const FrameOperation& operation, MovieWriter& writer);
    Status deliverFrame(Sample& sample, const FrameOperation& operation, MovieWriter& writer);
    void enterStage(int64_t base, Stage stage) {
        stageStart = nowNanos();
        position = base + stage;
    }
    double partOfCurrentFrame(Stage stage) const;
    void recordFailure(const std::string& why) {
        std::lock_guard lock(failureMutex);
        failure = Error{why};
    }
};

void MovieReader::Impl::decodeLoop() {
    PacketPtr packet = makePacket();
    FramePtr frame = makeFrame();
    while (!stopping) {
        const int status = av_read_frame(input.get(), packet.get());
        if (status == AVERROR_EOF && inputShrank()) return queueError("the file became shorter while it was read");
        if (status == AVERROR_EOF) break;
        if (status < 0) return queueError(errorText(status));
        if (!routePacket(*packet, *frame)) return;
    }
    if (stopping || decoder.send(nullptr) < 0 || !queueDecodedFrames(*frame)) return;
    queue.push(Sample{Sample::Kind::End, {}, AV_NOPTS_VALUE, nullptr});
}

// A file cut short while it is being read ends early where its end now is,
// which the demuxer reports as a normal end: a movie that shrank under us is
// a failure, not a shorter movie.
bool MovieReader::Impl::inputShrank() const {
    return sizeAtOpen > 0 && input->pb && avio_size(input->pb) < sizeAtOpen;
}

bool MovieReader::Impl::routePacket(AVPacket& packet, AVFrame& frame) {
    const int stream = packet.stream_index;
    if (stream == videoIndex) {
        decoderBusy = true;
        const int status = decoder.send(&packet);
        decoderBusy = false;
        av_packet_unref(&packet);
        // A damaged packet is skipped, as players do; anything else ends the movie as a failure.
        if (status < 0 && status != AVERROR_INVALIDDATA) {
            queueError(errorText(status));
            return false;
        }
        return queueDecodedFrames(frame);
    }
    if (stream >= 0 && stream < static_cast<int>(isAudio.size()) && isAudio[stream]) {
        Sample sample{Sample::Kind::Audio, {}, AV_NOPTS_VALUE, makePacket()};
        av_packet_move_ref(sample.packet.get(), &packet);
        return queue.push(std::move(sample));
    }
    av_packet_unref(&packet);
    return true;
}

bool MovieReader::Impl::queueDecodedFrames(AVFrame& frame) {
    while (true) {
        // Receiving can block while the decoder's threads finish a frame (a
        // very large one takes seconds): that is work under way, not a stall.
        decoderBusy = true;
        const int status = decoder.receive(&frame);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) {
            decoderBusy = false;
            return true;
        }
        std::optional<Image> image = status < 0 ? std::nullopt : converter.convert(frame);
        decoderBusy = false;
        const int64_t timestamp = frameTimestamp(frame);
        av_frame_unref(&frame);
        if (!image) {
            queueError(status < 0 ? errorText(status) : "a decoded frame could not be converted");
            return false;
        }
        if (!queue.push(Sample{Sample::Kind::Video, std::move(*image), timestamp, nullptr})) return false;
    }
}

void MovieReader::Impl::deliveryLoop(const FrameOperation& operation, MovieWriter& writer,
                                     const std::function<void()>& onAdvance) {
    while (std::optional<Sample> sample = queue.pop()) {
        const Status delivered = deliver(*sample, operation, writer);
        if (!delivered) recordFailure(delivered.error());
        // Audio packets move no progress; frames, the end and a failure do.
        if (onAdvance && (sample->kind != Sample::Kind::Audio || !delivered)) onAdvance();
        if (finished || !delivered) return;
    }
}

Status MovieReader::Impl::deliver(Sample& sample, const FrameOperation& operation, MovieWriter& writer) {
    switch (sample.kind) {
        case Sample::Kind::Video: return deliverFrame(sample, operation, writer);
        case Sample::Kind::Audio: return writer.appendAudioPacket(*sample.packet);
        case Sample::Kind::End: finished = true; return {};
        case Sample::Kind::Error: break;
    }
    return Error{decodeFailure};
}

Status MovieReader::Impl::deliverFrame(Sample& sample, const FrameOperation& operation, MovieWriter& writer) {
    const int64_t base = position.load() - position.load() % kStages;
    const int64_t frameStart = stageStart.load();
    enterStage(base, kOperating);
    const Image result = operation ? operation(sample.frame) : std::move(sample.frame);
    enterStage(base, kWriting);
    Status written = writer.appendFrame(result, sample.timestamp);
    // A running average of a frame's time sets how fast progress creeps within the next one.
    typicalFrame = (typicalFrame.load() * 7 + (nowNanos() - frameStart)) / 8;
    if (written) enterStage(base + kStages, kWaiting);
    return written;
}

double MovieReader::Impl::partOfCurrentFrame(Stage stage) const {
    const double start = kStageStart[stage], width = kStageStart[stage + 1] - start;
    // Waiting counts as work only while the decoder is decoding, not while it reads or is stuck.
    if (!delivering || (stage == kWaiting && !decoderBusy)) return start;
    // Work under way creeps toward the end of its stage and never reaches it, so a frame
    // that takes long keeps moving while a stopped reader or a failed writer does not.
    const double elapsed = static_cast<double>(nowNanos() - stageStart.load());
    const double typical = static_cast<double>(std::max<int64_t>(typicalFrame.load(), 1));
    return start + width * elapsed / (elapsed + typical);
}

Result<std::unique_ptr<MovieReader>> MovieReader::open(const std::filesystem::path& path) {
    auto impl = std::make_unique<Impl>();
    const AVIOInterruptCB interrupt{&Impl::interrupted, impl.get()};
    int status = openInput(path, impl->input, &interrupt);
    if (status >= 0) {
        impl->videoIndex = firstVideoStream(*impl->input);
        status = impl->videoIndex < 0 ? AVERROR_STREAM_NOT_FOUND
                                      : impl->decoder.open(*impl->input->streams[impl->videoIndex]);
    }
    if (status < 0) return Error{errorText(status)};
    const AVFormatContext& input = *impl->input;
    for (unsigned i = 0; i < input.nb_streams; ++i)
        impl->isAudio.push_back(input.streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO);
    impl->expectedFrames = expectedFrameCount(input, *input.streams[impl->videoIndex]);
    if (input.pb) impl->sizeAtOpen = avio_size(input.pb);
    return std::make_unique<MovieReader>(OpenKey{}, std::move(impl));
}

MovieReader::MovieReader(OpenKey, std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

MovieReader::~MovieReader() {
    stopProcessing();
}

bool MovieReader::startProcessing(FrameOperation operation, MovieWriter& writer,
                                  std::function<void()> onAdvance) {
    Impl& d = *impl_;
    if (d.decodeThread.joinable() || d.stopping) return false;
    d.stageStart = nowNanos();
    d.delivering = true;
    d.decodeThread = std::thread([&d] { d.decodeLoop(); });
    d.deliveryThread =
        std::thread([&d, &writer, operation = std::move(operation), onAdvance = std::move(onAdvance)] {
            d.deliveryLoop(operation, writer, onAdvance);
            d.delivering = false;
        });
    return true;
}

void MovieReader::stopProcessing() {
    Impl& d = *impl_;
    d.stopping = true;
    d.queue.close();
    if (d.deliveryThread.joinable()) d.deliveryThread.join();
    if (d.decodeThread.joinable()) d.decodeThread.join();
}

float MovieReader::progress() const {
    const Impl& d = *impl_;
    if (d.finished) return 1.0f;
    const int64_t position = d.position.load();
    const double units =
        static_cast<double>(position / kStages) + d.partOfCurrentFrame(Stage(position % kStages));
    // An estimate that falls short of the real count still leaves room below 1.
    const double total = std::max(static_cast<double>(d.expectedFrames), units + 1.0);
    const float now = std::min(static_cast<float>(units / total), std::nextafter(1.0f, 0.0f));
    float highest = d.reported.load();
    while (now > highest && !d.reported.compare_exchange_weak(highest, now)) {
    }
    return std::max(now, highest);
}

std::optional<Error> MovieReader::failure() const {
    std::lock_guard lock(impl_->failureMutex);
    return impl_->failure;
}

const AVFormatContext& MovieReader::input() const {
    return *impl_->input;
}
int MovieReader::videoStreamIndex() const {
    return impl_->videoIndex;
}

}  // namespace tintreel
