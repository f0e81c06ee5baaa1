#include "cli/MovieCommand.h"

#include <unistd.h>
#include <atomic>
#include <csignal>
#include <iostream>
#include <system_error>

#include "cli/StillCommand.h"
#include "settings/ProgressText.h"
#include "imaging/EffectSteps.h"
#include "platform/filters/Picture.h"
#include "platform/media/FrameImage.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MovieTypes.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/TemporaryDirectory.h"
#include "render/RenderWorker.h"
#include "render/VideoTools.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

// Set from the signal handler: a lock-free atomic store is safe there.
std::atomic<bool> cancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void requestCancel(int) {
    cancelRequested = true;
}

// Installs the cancel handlers for SIGINT and SIGTERM and restores the old ones.
class CancelOnSignals {
public:
    CancelOnSignals() {
        cancelRequested = false;
        previousInterrupt_ = std::signal(SIGINT, requestCancel);
        previousTerminate_ = std::signal(SIGTERM, requestCancel);
    }
    ~CancelOnSignals() {
        std::signal(SIGINT, previousInterrupt_);
        std::signal(SIGTERM, previousTerminate_);
    }
    CancelOnSignals(const CancelOnSignals&) = delete;
    CancelOnSignals& operator=(const CancelOnSignals&) = delete;

private:
    void (*previousInterrupt_)(int) = SIG_DFL;
    void (*previousTerminate_)(int) = SIG_DFL;
};

int refuse(const fs::path& input, const std::string& why) {
    std::cerr << "tintreel-render: cannot use " << input << ": " << why << std::endl;
    return kExitBadInput;
}

// kExitSuccess when INPUT has a movie extension and is a readable movie with a video track.
int checkMovieInput(const fs::path& input) {
    if (!hasMovieExtension(input)) return refuse(input, "not a movie (see --help for the extensions)");
    const MediaAsset asset = MediaAsset::open(input);
    if (!asset.isReadable()) return refuse(input, asset.openError());
    if (!asset.firstVideoTrack()) return refuse(input, "no video track");
    return kExitSuccess;
}

void showProgress(const Notification& notification, bool terminal) {
    // The window's label; an unknown code prints nothing.
    const std::optional<std::string> label = progressLabel(notification);
    if (!label) return;
    if (terminal)
        std::cerr << "\r" << *label << "\033[K" << std::flush;
    else
        std::cerr << *label << std::endl;
}

// OUTPUT is either complete or untouched.
bool publish(const fs::path& movie, const fs::path& output) {
    const Status copied = copyFileAtomically(movie, output);
    if (!copied) std::cerr << "tintreel-render: cannot write " << output << ": " << copied.error() << std::endl;
    return copied.ok();
}

std::optional<Image> loadLogo(const CliOptions& options) {
    if (!options.logo) return Image();
    std::string error;
    std::optional<Image> logo = loadPicture(options.logo->string(), &error);
    if (!logo)
        std::cerr << "tintreel-render: cannot read logo " << *options.logo << ": " << error << std::endl;
    return logo;
}

int renderTo(const CliOptions& options, const EffectSettings& settings, const Image& logo,
             const fs::path& temporaryDirectory) {
    NotificationCenter notifications;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    const ObserverToken token = notifications.addObserver(
        std::string(kUpdateProgress), [terminal](const Notification& n) { showProgress(n, terminal); });
    const CancelOnSignals cancelOnSignals;
    // One pass writes its movie beside OUTPUT and renames it into place; the
    // per-effect passes work in the temporary directory and are copied.
    const bool onePass = options.passes == PassMode::One;
    RenderRequest request{settings,
                          logo,
                          fs::absolute(options.input),
                          temporaryDirectory,
                          options.passes,
                          onePass ? fs::absolute(options.output) : fs::path()};
    // The final movie takes OUTPUT's container, in either mode.
    request.renderSettings = options.render;
    request.container = lowerExtension(options.output);
    std::optional<RenderResult> result;
    GeneratePreviewVideo(request, cancelRequested, notifications, [&](const RenderResult& r) { result = r; });
    if (terminal) std::cerr << std::endl;
    if (result->outcome == RenderOutcome::Failed) {
        std::cerr << "Could not generate preview." << std::endl;
        return kExitRenderFailed;
    }
    if (result->outcome == RenderOutcome::Succeeded && !onePass && !publish(result->newVideoPath, options.output))
        return kExitRenderFailed;
    // A cancel that arrives after the last pass still leaves nothing at OUTPUT.
    if (!cancelRequested) return kExitSuccess;
    std::error_code ignored;
    if (result->outcome == RenderOutcome::Succeeded) fs::remove(options.output, ignored);
    return kExitCancelled;
}

}  // namespace

int runMovie(const CliOptions& options, const EffectSettings& settings) {
    if (int status = checkMovieInput(options.input); status != kExitSuccess) return status;
    const std::optional<Image> logo = loadLogo(options);
    if (!logo) return kExitBadInput;
    std::optional<TemporaryDirectory> directory = TemporaryDirectory::create();
    if (!directory) {
        std::cerr << "tintreel-render: cannot create a private temporary directory" << std::endl;
        return kExitRenderFailed;
    }
    return renderTo(options, settings, *logo, directory->path());
}

int runStillFrame(const CliOptions& options, const EffectSettings& settings) {
    if (int status = checkMovieInput(options.input); status != kExitSuccess) return status;
    const double seconds = options.stillSeconds.value_or(0.0);
    const std::optional<Image> frame = FrameImageAtTime(options.input, seconds);
    if (!frame) return refuse(options.input, "no frame at " + std::to_string(seconds) + " s");
    return writeStill(options, settings, *frame);
}

}  // namespace tintreel
