#include "render/RenderWorker.h"

#include <iostream>
#include <optional>
#include <system_error>

#include "imaging/EffectSteps.h"
#include "platform/system/TemporaryDirectory.h"
#include "render/VideoTools.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

bool isSentinel(const std::string& result) {
    return result == kPassFailed || result == kPassCanceled;
}

void printFailure(const char* prefix, const std::error_code& error) {
    std::cout << prefix << error.message() << std::endl;
}

// Removes a file of this render; a file that is already gone is not an error.
void removeQuietlyIfGone(const fs::path& file) {
    std::error_code error;
    fs::remove(file, error);
    if (error) printFailure("Could not delete video: ", error);
}

// The movie the previous pass wrote may go once the pass reading it has succeeded.
void dropIntermediate(const fs::path& previous, const RenderRequest& request) {
    if (previous != request.videoPath && previous.parent_path() == request.temporaryDirectory)
        removeQuietlyIfGone(previous);
}

// Success: the last movie becomes "movie." + extension, the intermediates go.
// Nothing when the final movie could not be put in place (a full disk, the
// directory gone): that render has no result to show.
std::optional<std::string> finishRender(const std::string& lastMovie, long long passes,
                                        const RenderRequest& request) {
    const fs::path last(lastMovie);
    const fs::path final = request.temporaryDirectory / ("movie." + pathExtension(last));
    removeQuietlyIfGone(final);
    std::error_code error;
    // Our own last pass is moved into place; the user's file (no pass ran) is copied.
    if (passes > 0)
        fs::rename(last, final, error);
    else
        fs::copy_file(last, final, error);
    if (error) printFailure("Could copy final video: ", error);
    for (long long i = 1; i <= passes; ++i)
        removeQuietlyIfGone(VideoTools::OutputPath(i, request.videoPath, request.temporaryDirectory));
    if (error) return std::nullopt;
    return final.string();
}

}  // namespace

int countMoviePasses(const EffectSettings& settings) {
    int passes = 0;
    for (const EffectStep& step : effectSteps()) passes += step.runsOnMovie(settings) ? 1 : 0;
    return passes;
}

void GeneratePreviewVideo(const RenderRequest& request, const std::atomic<bool>& cancelFlag,
                          const NotificationCenter& notifications, const RenderCompletion& completion) {
    const int passCount = countMoviePasses(request.settings);
    // A directory removed under an earlier render is made again, so one
    // failure does not fail every render after it.
    std::string newVideoPath = restoreTemporaryDirectory(request.temporaryDirectory)
                                   ? request.videoPath.string()
                                   : std::string(kPassFailed);
    long long counter = 0;
    for (const EffectStep& step : effectSteps()) {
        if (!step.runsOnMovie(request.settings) || isSentinel(newVideoPath)) continue;
        ++counter;
        const PassEnvironment environment{
            request.temporaryDirectory,
            cancelFlag,
            notifications,
            counter == passCount ? EncodingRole::Final : EncodingRole::Intermediate,
            static_cast<int>(counter),
            passCount};
        const std::unique_ptr<FrameEffect> effect = step.make(request.settings, request.logo);
        const std::string result =
            VideoTools::RenderPass(counter, newVideoPath, step.code, *effect, environment);
        if (!isSentinel(result)) dropIntermediate(newVideoPath, request);
        newVideoPath = result;
    }
    if (!isSentinel(newVideoPath)) {
        if (std::optional<std::string> final = finishRender(newVideoPath, counter, request))
            return completion({RenderOutcome::Succeeded, *final});
        newVideoPath = kPassFailed;
    }
    const bool failed = newVideoPath == kPassFailed;
    DeleteTemporaryFiles(request.temporaryDirectory);
    completion({failed ? RenderOutcome::Failed : RenderOutcome::Canceled, newVideoPath});
}

}  // namespace tintreel
