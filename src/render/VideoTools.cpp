#include "render/VideoTools.h"

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>

#include "platform/filters/CancelScope.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MovieReader.h"

namespace tintreel {
namespace {

// Wakes the waiting pass early when the movie completes or a cancel is seen;
// the delivery thread rings it after every frame.
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

std::string setupFailed(const std::string& what) {
    std::cout << "Could not start movie pass: " << what << std::endl;
    return std::string(kPassFailed);
}

// Ends processing: no frame reaches the writer after this, and the file is closed.
bool detachAndFinish(MovieReader& reader, MovieWriter& writer) {
    reader.stopProcessing();
    return writer.finishRecording();
}

UserInfo progressRecord(float progress, EffectCode code, const PassEnvironment& environment) {
    return {{"progress", progress},
            {"effect", static_cast<float>(code)},
            {"pass", static_cast<float>(environment.passNumber)},
            {"passCount", static_cast<float>(environment.passCount)}};
}

std::string waitForPass(MovieReader& reader, MovieWriter& writer, PassSignal& signal, EffectCode code,
                        const std::filesystem::path& output, const PassEnvironment& environment) {
    float lastReported = -1.0f;
    while (true) {
        if (reader.progress() == 1.0f) {
            // A file that cannot be completed is no result to hand on.
            return detachAndFinish(reader, writer) ? output.string() : std::string(kPassFailed);
        }
        const UserInfo record = progressRecord(reader.progress(), code, environment);
        if (environment.cancelFlag) {
            detachAndFinish(reader, writer);
            return std::string(kPassCanceled);
        }
        const float progress = reader.progress();
        if (progress == lastReported) {
            detachAndFinish(reader, writer);
            return std::string(kPassFailed);
        }
        lastReported = progress;
        environment.notifications.post(std::string(kUpdateProgress), record);
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

std::string VideoTools::RenderPass(long long index, const std::filesystem::path& inputPath, EffectCode code,
                                   FrameEffect& effect, const PassEnvironment& environment) {
    const std::optional<VideoTrack> track = MediaAsset::open(inputPath).firstVideoTrack();
    std::string error = "no video track";
    auto reader = track ? MovieReader::open(inputPath, &error) : nullptr;
    if (!reader) return setupFailed(inputPath.string() + ": " + error);
    const Orientation upright = uprightOrientation(*track);
    const std::filesystem::path output = OutputPath(index, inputPath, environment.temporaryDirectory);
    MovieWriter writer(output, upright.width, upright.height, environment.role);
    if (!writer.startRecording(*reader)) return setupFailed(output.string() + ": " + writer.lastError());

    PassSignal signal;
    // A cancel stops the effect between row blocks; the frame it leaves
    // half-made goes only into this pass's file, which a cancel discards.
    const auto operation = [&effect, &environment, rotation = upright.rotation](const Image& frame) {
        const CancelScope scope(environment.cancelFlag);
        return rotation == InputRotation::None ? effect.apply(frame) : effect.apply(rotated(frame, rotation));
    };
    const auto onAdvance = [&] {
        if (reader->progress() == 1.0f || environment.cancelFlag) signal.ring();
    };
    reader->startProcessing(operation, writer, onAdvance);
    return waitForPass(*reader, writer, signal, code, output, environment);
}

}  // namespace tintreel
