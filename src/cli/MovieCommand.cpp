#include "cli/MovieCommand.h"

#include <new>
#include <system_error>

#include "cli/CancelOnSignals.h"
#include "cli/InputLimits.h"
#include "cli/JsonProgress.h"
#include "cli/OutputTarget.h"
#include "cli/StillCommand.h"
#include "imaging/WatermarkScale.h"
#include "platform/filters/Picture.h"
#include "platform/media/FrameImage.h"
#include "platform/media/MediaAsset.h"
#include "platform/system/Log.h"
#include "render/RenderJob.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

int refuse(const fs::path& input, const std::string& why, JobOutput& out) {
    out.line("tintreel-render: cannot use " + quotedPath(input) + ": " + why);
    return kExitBadInput;
}

// INPUT opened when it has a movie extension and is a readable movie with a
// video track; else the refusal is reported and its status comes back.
Result<std::shared_ptr<MovieSource>, int> openMovieInput(const fs::path& input, JobOutput& out) {
    auto source = openJobInput(input);
    if (!source) return reportJobEnd(source.failure(), {input, {}}, out);
    return std::move(*source);
}

std::unique_ptr<JobOutput> singleOutput(const CliOptions& options) {
    if (options.progress == ProgressFormat::Json)
        return std::make_unique<JsonJobOutput>(options.input, options.output);
    return std::make_unique<HumanJobOutput>();
}

}  // namespace

int checkMovieInput(const fs::path& input) {
    HumanJobOutput out;
    const auto source = openMovieInput(input, out);
    return source ? kExitSuccess : source.failure();
}

Result<Image> readLogo(const CliOptions& options) {
    if (!options.logo) return Image();
    Result<Image> logo = loadPicture(options.logo->string());
    if (!logo)
        return Error{"tintreel-render: cannot read logo " + quotedPath(*options.logo) + ": " + logo.error()};
    return logo;
}

int runMovie(const CliOptions& options, const EffectSettings& settings) {
    const CancelOnSignals cancelOnSignals;
    const std::unique_ptr<JobOutput> out = singleOutput(options);
    Result<Image> logo = readLogo(options);
    if (!logo) {
        out->line(logo.error());
        out->finished(JobState::Failed, {});
        return kExitBadInput;
    }
    const RenderJob job{{options.input, options.output}, existingOutputRule(options), options.segment};
    const BatchLook look{settings,     std::move(*logo), options.render, options.passes,
                         options.crop, options.span,     options.cut == CutMode::KeyFrames};
    return reportJobEnd(runRenderJob(job, look, cancelOnSignals.flag(), *out), job.files, *out);
}

int runStillFrame(const CliOptions& options, const EffectSettings& settings) {
    HumanJobOutput out;
    const auto source = openMovieInput(options.input, out);
    if (!source) return source.failure();
    const double seconds = options.stillSeconds.value_or(0.0);
    const std::optional<Image> frame = FrameImageAtTime(options.input, seconds);
    if (!frame) return refuse(options.input, "no frame at " + std::to_string(seconds) + " s", out);
    const double movieSeconds = (*source)->facts().videoSeconds();
    return writeStill(options, watermarksEndingAt(settings, movieSeconds), *frame, seconds);
}

}  // namespace tintreel
