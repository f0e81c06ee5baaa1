#include "render/RenderWorker.h"

#include <system_error>

#include "imaging/EffectSteps.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/Log.h"
#include "platform/system/TemporaryDirectory.h"
#include "render/VideoTools.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

// Removes a file of this render; a file that is already gone is not an error.
void removeQuietlyIfGone(const fs::path& file) {
    std::error_code error;
    fs::remove(file, error);
    if (error) logLine("Could not delete video: " + error.message());
}

// The movie the previous pass wrote may go once the pass reading it has succeeded.
void dropIntermediate(const fs::path& previous, const RenderRequest& request) {
    if (previous != request.videoPath && previous.parent_path() == request.temporaryDirectory)
        removeQuietlyIfGone(previous);
}

// Success: the last movie becomes "movie." + extension, replacing an earlier
// render's, and the intermediates go. A failure when the final movie could
// not be put in place (a full disk, the directory gone): that render has no
// result to show.
RenderResult finishRender(const fs::path& lastMovie, long long passes, const RenderRequest& request) {
    const fs::path final = request.temporaryDirectory / ("movie." + pathExtension(lastMovie));
    // Our own last pass is moved into place; the user's file (no pass ran) is copied.
    const Status placed = passes > 0 ? moveFileAtomically(lastMovie, final) : copyFileAtomically(lastMovie, final);
    if (!placed) logLine("Could copy final video: " + placed.error());
    for (long long i = 1; i <= passes; ++i)
        removeQuietlyIfGone(VideoTools::OutputPath(i, request.videoPath, request.temporaryDirectory));
    return placed ? RenderResult::succeeded(final) : RenderResult::failed(placed.error());
}

// Runs one pass per enabled effect, each reading what the previous one wrote.
RenderResult runPasses(const RenderRequest& request, const std::atomic<bool>& cancelFlag,
                       const NotificationCenter& notifications, int passCount) {
    RenderResult current = RenderResult::succeeded(request.videoPath);
    int counter = 0;
    for (const EffectStep& step : effectSteps()) {
        if (!step.runsOnMovie(request.settings)) continue;
        ++counter;
        const PassEnvironment environment{
            request.temporaryDirectory,
            cancelFlag,
            notifications,
            counter == passCount ? EncodingRole::Final : EncodingRole::Intermediate,
            counter,
            passCount};
        const std::unique_ptr<FrameEffect> effect = step.make(request.settings, request.logo);
        RenderResult result = VideoTools::RenderPass(counter, current.newVideoPath, step.code, *effect, environment);
        if (result.outcome != RenderOutcome::Succeeded) return result;
        dropIntermediate(current.newVideoPath, request);
        current = std::move(result);
    }
    return current;
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
    RenderResult result = restoreTemporaryDirectory(request.temporaryDirectory)
                              ? runPasses(request, cancelFlag, notifications, passCount)
                              : RenderResult::failed("the temporary directory cannot be used");
    if (result.outcome == RenderOutcome::Succeeded) result = finishRender(result.newVideoPath, passCount, request);
    if (result.outcome != RenderOutcome::Succeeded) DeleteTemporaryFiles(request.temporaryDirectory);
    completion(result);
}

}  // namespace tintreel
