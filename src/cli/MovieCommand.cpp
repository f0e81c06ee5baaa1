#include "cli/MovieCommand.h"

#include <new>
#include <system_error>

#include "cli/CancelOnSignals.h"
#include "cli/InputLimits.h"
#include "cli/JsonProgress.h"
#include "cli/StillCommand.h"
#include "imaging/WatermarkScale.h"
#include "platform/filters/Picture.h"
#include "platform/media/FrameImage.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MovieSlice.h"
#include "platform/media/MovieTypes.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/Log.h"
#include "platform/system/TemporaryDirectory.h"
#include "render/RenderWorker.h"
#include "render/VideoTools.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

int refuse(const fs::path& input, const std::string& why, JobOutput& out) {
    out.line("tintreel-render: cannot use " + quotedPath(input) + ": " + why);
    return kExitBadInput;
}

// kExitSuccess when INPUT has a movie extension and is a readable movie with a video track.
int checkMovieInput(const fs::path& input, JobOutput& out) {
    if (!hasMovieExtension(input)) return refuse(input, "not a movie (see --help for the extensions)", out);
    if (const auto problem = movieFileProblem(input)) return refuse(input, *problem, out);
    const MediaAsset asset = MediaAsset::open(input);
    if (const auto problem = asset.videoProblem()) return refuse(input, *problem, out);
    const VideoTrack& track = *asset.firstVideoTrack();
    if (const auto problem = frameSizeProblem(track.width, track.height)) return refuse(input, *problem, out);
    return kExitSuccess;
}

// OUTPUT is either complete or untouched.
bool publish(const fs::path& movie, const fs::path& output, JobOutput& out) {
    const Status copied = copyFileAtomically(movie, output);
    if (!copied) out.line("tintreel-render: cannot write " + quotedPath(output) + ": " + copied.error());
    return copied.ok();
}

// The slice --segment asks for: an equal share of INPUT's duration.
std::optional<MovieSlice> sliceOf(const CliOptions& options) {
    if (!options.segment) return std::nullopt;
    const double duration = MediaAsset::open(options.input).durationSeconds();
    return MovieSlice{*options.segment, sliceRange(*options.segment, duration)};
}

int renderTo(const CliOptions& options, const EffectSettings& settings, const Image& logo,
             const fs::path& temporaryDirectory, const std::atomic<bool>& cancel, JobOutput& out) {
    NotificationCenter notifications;
    const ObserverToken token = notifications.addObserver(std::string(kUpdateProgress),
                                                          [&out](const Notification& n) { out.progress(n); });
    // One pass writes its movie beside OUTPUT and renames it into place; the
    // per-effect passes work in the temporary directory and are copied.
    const bool onePass = options.passes == PassMode::One;
    RenderRequest request{
        settings,           logo,           fs::absolute(options.input),
        temporaryDirectory, options.passes, onePass ? fs::absolute(options.output) : fs::path()};
    request.slice = sliceOf(options);
    // The final movie takes OUTPUT's container, in either mode.
    request.renderSettings = options.render;
    request.container = lowerExtension(options.output);
    std::optional<RenderResult> result;
    GeneratePreviewVideo(request, cancel, notifications, [&](const RenderResult& r) { result = r; });
    out.progressEnded();
    if (result->outcome == RenderOutcome::Failed) {
        out.line("Could not generate preview.");
        return kExitRenderFailed;
    }
    if (result->outcome == RenderOutcome::Succeeded && !onePass &&
        !publish(result->newVideoPath, options.output, out))
        return kExitRenderFailed;
    // A cancel that arrives after the last pass still leaves nothing at OUTPUT.
    if (!cancel) return kExitSuccess;
    std::error_code ignored;
    if (result->outcome == RenderOutcome::Succeeded) fs::remove(options.output, ignored);
    return kExitCancelled;
}

std::unique_ptr<JobOutput> singleOutput(const CliOptions& options) {
    if (options.progress == ProgressFormat::Json)
        return std::make_unique<JsonJobOutput>(options.input, options.output);
    return std::make_unique<HumanJobOutput>();
}

int checkAndRender(const CliOptions& options, const EffectSettings& settings, const LogoSource& logo,
                   const std::atomic<bool>& cancel, JobOutput& out) {
    if (int status = checkMovieInput(options.input, out); status != kExitSuccess) return status;
    if (options.segment)
        if (const std::optional<std::string> problem = sliceProblem(options.input))
            return refuse(options.input, *problem, out);
    const std::optional<Image> picture = logo(out);
    if (!picture) return kExitBadInput;
    std::optional<TemporaryDirectory> directory = TemporaryDirectory::create();
    if (!directory) {
        out.line("tintreel-render: cannot create a private temporary directory");
        return kExitRenderFailed;
    }
    return renderTo(options, settings, *picture, directory->path(), cancel, out);
}

}  // namespace

int checkMovieInput(const fs::path& input) {
    HumanJobOutput out;
    return checkMovieInput(input, out);
}

JobState jobStateOf(int status) {
    if (status == kExitSuccess) return JobState::Done;
    return status == kExitCancelled ? JobState::Cancelled : JobState::Failed;
}

std::variant<Image, std::string> readLogo(const CliOptions& options) {
    if (!options.logo) return Image();
    std::string error;
    std::optional<Image> logo = loadPicture(options.logo->string(), &error);
    if (!logo) return "tintreel-render: cannot read logo " + quotedPath(*options.logo) + ": " + error;
    return std::move(*logo);
}

int renderMovie(const CliOptions& options, const EffectSettings& settings, const LogoSource& logo,
                const std::atomic<bool>& cancel, JobOutput& out) {
    const ScopedThreadLogSink log([&out](std::string_view line) { out.logged(line); });
    // Memory that runs out fails this movie alone: the other jobs of a
    // batch go on and the run still ends with its summary.
    try {
        return checkAndRender(options, settings, logo, cancel, out);
    } catch (const std::bad_alloc&) {
        out.line("tintreel-render: not enough memory to render " + quotedPath(options.input));
        return kExitRenderFailed;
    }
}

int runMovie(const CliOptions& options, const EffectSettings& settings) {
    const CancelOnSignals cancelOnSignals;
    const std::unique_ptr<JobOutput> out = singleOutput(options);
    int status = renderMovie(
        options, settings,
        [&options](JobOutput& o) -> std::optional<Image> {
            auto logo = readLogo(options);
            if (auto* picture = std::get_if<Image>(&logo)) return std::move(*picture);
            o.line(std::get<std::string>(logo));
            return std::nullopt;
        },
        cancelOnSignals.flag(), *out);
    // A wait the signal broke off ends as a failure of its own; it was a cancel.
    if (status != kExitSuccess && cancelOnSignals.flag()) status = kExitCancelled;
    out->finished(jobStateOf(status),
                  status == kExitSuccess ? "wrote " + printableText(options.output.string()) : std::string());
    return status;
}

int runStillFrame(const CliOptions& options, const EffectSettings& settings) {
    HumanJobOutput out;
    if (int status = checkMovieInput(options.input, out); status != kExitSuccess) return status;
    const double seconds = options.stillSeconds.value_or(0.0);
    const std::optional<Image> frame = FrameImageAtTime(options.input, seconds);
    if (!frame) return refuse(options.input, "no frame at " + std::to_string(seconds) + " s", out);
    const double movieSeconds = MediaAsset::open(options.input).videoSeconds();
    return writeStill(options, watermarksEndingAt(settings, movieSeconds), *frame, seconds);
}

}  // namespace tintreel
