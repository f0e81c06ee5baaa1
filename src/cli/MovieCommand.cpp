#include "cli/MovieCommand.h"

#include <system_error>

#include "cli/CancelOnSignals.h"
#include "cli/JsonProgress.h"
#include "cli/StillCommand.h"
#include "imaging/WatermarkScale.h"
#include "platform/filters/Picture.h"
#include "platform/media/FrameImage.h"
#include "platform/media/MovieSlice.h"
#include "platform/media/MovieSource.h"
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

// INPUT opened for the render when it has a movie extension and is a
// readable movie with a video track; else why not.
Result<std::shared_ptr<MovieSource>> openMovieInput(const fs::path& input) {
    if (!hasMovieExtension(input)) return Error{"not a movie (see --help for the extensions)"};
    Result<std::shared_ptr<MovieSource>> source = MovieSource::open(input);
    if (!source) return source;
    if (const Status video = (*source)->facts().videoStatus(); !video) return Error{video.error()};
    return source;
}

// OUTPUT is either complete or untouched.
bool publish(const fs::path& movie, const fs::path& output, JobOutput& out) {
    const Status copied = copyFileAtomically(movie, output);
    if (!copied) out.line("tintreel-render: cannot write " + quotedPath(output) + ": " + copied.error());
    return copied.ok();
}

// The slice --segment asks for: an equal share of INPUT's duration.
std::optional<MovieSlice> sliceOf(const CliOptions& options, const MediaAsset& input) {
    if (!options.segment) return std::nullopt;
    return MovieSlice{*options.segment, sliceRange(*options.segment, input.durationSeconds())};
}

int renderTo(const CliOptions& options, const EffectSettings& settings, const Image& logo,
             std::shared_ptr<MovieSource> source, const fs::path& temporaryDirectory,
             const std::atomic<bool>& cancel, JobOutput& out) {
    NotificationCenter notifications;
    const ObserverToken token = notifications.addObserver(std::string(kUpdateProgress),
                                                          [&out](const Notification& n) { out.progress(n); });
    // One pass writes its movie beside OUTPUT and renames it into place; the
    // per-effect passes work in the temporary directory and are copied.
    const bool onePass = options.passes == PassMode::One;
    RenderRequest request{
        settings,           logo,           fs::absolute(options.input),
        temporaryDirectory, options.passes, onePass ? fs::absolute(options.output) : fs::path()};
    request.slice = sliceOf(options, source->facts());
    request.source = std::move(source);
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

}  // namespace

int checkMovieInput(const fs::path& input) {
    HumanJobOutput out;
    const Result<std::shared_ptr<MovieSource>> source = openMovieInput(input);
    return source ? kExitSuccess : refuse(input, source.error(), out);
}

JobState jobStateOf(int status) {
    if (status == kExitSuccess) return JobState::Done;
    return status == kExitCancelled ? JobState::Cancelled : JobState::Failed;
}

Result<Image> readLogo(const CliOptions& options) {
    if (!options.logo) return Image();
    Result<Image> logo = loadPicture(options.logo->string());
    if (!logo)
        return Error{"tintreel-render: cannot read logo " + quotedPath(*options.logo) + ": " + logo.error()};
    return logo;
}

int renderMovie(const CliOptions& options, const EffectSettings& settings, const LogoSource& logo,
                const std::atomic<bool>& cancel, JobOutput& out) {
    const ScopedThreadLogSink log([&out](std::string_view line) { out.logged(line); });
    Result<std::shared_ptr<MovieSource>> source = openMovieInput(options.input);
    if (!source) return refuse(options.input, source.error(), out);
    if (options.segment)
        if (const Status cuttable = checkSliceable(options.input); !cuttable)
            return refuse(options.input, cuttable.error(), out);
    const std::optional<Image> picture = logo(out);
    if (!picture) return kExitBadInput;
    std::optional<TemporaryDirectory> directory = TemporaryDirectory::create();
    if (!directory) {
        out.line("tintreel-render: cannot create a private temporary directory");
        return kExitRenderFailed;
    }
    return renderTo(options, settings, *picture, std::move(*source), directory->path(), cancel, out);
}

int runMovie(const CliOptions& options, const EffectSettings& settings) {
    const CancelOnSignals cancelOnSignals;
    const std::unique_ptr<JobOutput> out = singleOutput(options);
    const int status = renderMovie(
        options, settings,
        [&options](JobOutput& o) -> std::optional<Image> {
            Result<Image> logo = readLogo(options);
            if (logo) return std::move(*logo);
            o.line(logo.error());
            return std::nullopt;
        },
        cancelOnSignals.flag(), *out);
    out->finished(jobStateOf(status),
                  status == kExitSuccess ? "wrote " + options.output.string() : std::string());
    return status;
}

int runStillFrame(const CliOptions& options, const EffectSettings& settings) {
    HumanJobOutput out;
    const Result<std::shared_ptr<MovieSource>> source = openMovieInput(options.input);
    if (!source) return refuse(options.input, source.error(), out);
    const double seconds = options.stillSeconds.value_or(0.0);
    const std::optional<Image> frame = FrameImageAtTime(options.input, seconds);
    if (!frame) return refuse(options.input, "no frame at " + std::to_string(seconds) + " s", out);
    const double movieSeconds = (*source)->facts().videoSeconds();
    return writeStill(options, watermarksEndingAt(settings, movieSeconds), *frame, seconds);
}

}  // namespace tintreel
