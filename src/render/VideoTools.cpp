#include "render/VideoTools.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "platform/media/MediaAsset.h"
#include "platform/media/MovieReader.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace {

// Wakes the waiting pass early when the movie completes, fails or a cancel is
// seen; the delivery thread rings it.
class PassSignal {
public:
    void ring() {
        std::lock_guard lock(mutex_);
        rung_ = true;
        bell_.notify_all();
    }
    // Waits up to one second or until rung; forgets the ring.
    void waitOneSecond() {
        std::unique_lock lock(mutex_);
        bell_.wait_for(lock, std::chrono::seconds(1), [&] { return rung_; });
        rung_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable bell_;
    bool rung_ = false;
};

RenderResult setupFailed(const std::string& what) {
    logLine("Could not start movie pass: " + what);
    return RenderResult::failed(what);
}

RenderResult passFailed(const std::string& why) {
    logLine("Movie pass failed: " + why);
    return RenderResult::failed(why);
}

UserInfo progressRecord(float progress, EffectCode code, const PassEnvironment& environment) {
    return {{"progress", progress},
            {"effect", static_cast<float>(code)},
            {"pass", static_cast<float>(environment.passNumber)},
            {"passCount", static_cast<float>(environment.passCount)}};
}

// How the pass ends in this cycle, if it does. An ending stops processing:
// no frame reaches the writer after it, and the file is closed.
std::optional<RenderResult> passEnding(MovieReader& reader, MovieWriter& writer, float progress,
                                       float lastReported, const std::filesystem::path& output,
                                       const std::atomic<bool>& cancelFlag) {
    std::optional<RenderResult> ending;
    if (progress == 1.0f)
        ending = RenderResult::succeeded(output);
    else if (cancelFlag)
        ending = RenderResult::canceled();
    else if (const std::optional<Error> failure = reader.failure())
        ending = passFailed(failure->message);
    else if (progress == lastReported)
        ending = passFailed("no progress for a second");
    if (!ending) return ending;
    reader.stopProcessing();
    const Status finished = writer.finishRecording();
    // A file that cannot be completed is no result to hand on.
    if (ending->outcome == RenderOutcome::Succeeded && !finished) return passFailed(finished.error());
    return ending;
}

RenderResult waitForPass(MovieReader& reader, MovieWriter& writer, PassSignal& signal, EffectCode code,
                         const std::filesystem::path& output, const PassEnvironment& environment) {
    float lastReported = -1.0f;
    while (true) {
        const float progress = reader.progress();
        if (std::optional<RenderResult> ending =
                passEnding(reader, writer, progress, lastReported, output, environment.cancelFlag))
            return *ending;
        lastReported = progress;
        environment.notifications.post(std::string(kUpdateProgress), progressRecord(progress, code, environment));
        signal.waitOneSecond();
    }
}

}  // namespace

std::string pathExtension(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    return extension.empty() ? extension : extension.substr(1);
}

std::filesystem::path VideoTools::OutputPath(long long index, const std::filesystem::path& inputPath,
                                             const std::filesystem::path& temporaryDirectory) {
    return temporaryDirectory / ("movie" + std::to_string(index) + "." + pathExtension(inputPath));
}

RenderResult VideoTools::RenderPass(long long index, const std::filesystem::path& inputPath, EffectCode code,
                                    FrameEffect& effect, const PassEnvironment& environment) {
    const std::optional<VideoTrack> track = MediaAsset::open(inputPath).firstVideoTrack();
    if (!track) return setupFailed(inputPath.string() + ": no video track");
    Result<std::unique_ptr<MovieReader>> opened = MovieReader::open(inputPath);
    if (!opened) return setupFailed(inputPath.string() + ": " + opened.error());
    MovieReader& reader = **opened;
    const Orientation upright = uprightOrientation(*track);
    const std::filesystem::path output = OutputPath(index, inputPath, environment.temporaryDirectory);
    MovieWriter writer(output, upright.width, upright.height, environment.role);
    if (const Status started = writer.startRecording(reader); !started)
        return setupFailed(output.string() + ": " + started.error());

    PassSignal signal;
    const auto operation = [&effect, rotation = upright.rotation](const Image& frame) {
        return rotation == InputRotation::None ? effect.apply(frame) : effect.apply(rotated(frame, rotation));
    };
    const auto onAdvance = [&] {
        if (reader.progress() == 1.0f || environment.cancelFlag || reader.failure()) signal.ring();
    };
    reader.startProcessing(operation, writer, onAdvance);
    return waitForPass(reader, writer, signal, code, output, environment);
}

}  // namespace tintreel
