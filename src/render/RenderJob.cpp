#include "render/RenderJob.h"

#include <cmath>
#include <system_error>

#include "imaging/FrameGeometry.h"
#include "platform/media/MovieSource.h"
#include "imaging/SoundSettings.h"
#include "platform/media/MovieTypes.h"
#include "platform/system/InputFile.h"
#include "platform/system/Log.h"
#include "platform/system/TemporaryDirectory.h"
#include "render/LookDigest.h"
#include "render/RenderWorker.h"
#include "render/VideoTools.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

JobEnd failed(JobProblem problem, std::string detail = {}) {
    return {JobState::Failed, problem, std::move(detail)};
}

// The one rule for an output that is already there: nothing when the job may render.
std::optional<JobEnd> settleExistingOutput(const fs::path& output, ExistingOutput rule) {
    std::error_code ec;
    if (rule == ExistingOutput::Replace || !fs::exists(fs::symlink_status(output, ec))) return std::nullopt;
    if (rule == ExistingOutput::Skip) return JobEnd{JobState::Skipped};
    return failed(JobProblem::OutputExists);
}

// The look's span fitted to the movie; nothing for the whole movie.
std::optional<MovieSpan> spanOf(const BatchLook& look, const MovieSource& source) {
    if (look.span.isWhole()) return std::nullopt;
    return clampedSpan(look.span, source.facts().videoSeconds());
}

// The slice's share of the span, or of the whole movie.
FrameRange segmentRange(const SliceNumber& segment, const std::optional<MovieSpan>& span,
                        const MovieSource& source) {
    return span ? sliceRange(segment, *span) : sliceRange(segment, source.facts().durationSeconds());
}

// A file size the movie cannot fit is refused before anything is rendered.
Status checkSizeTarget(const RenderJob& job, const BatchLook& look, const MovieSource& source) {
    if (look.renderSettings.maxBytes <= 0) return {};
    RenderRequest sized;
    sized.renderSettings = look.renderSettings;
    sized.span = spanOf(look, source);
    if (job.segment)
        sized.slice = MovieSlice{*job.segment, segmentRange(*job.segment, sized.span, source), {}};
    const Result<SizePlan> plan = sizePlanFor(sized, source);
    return plan ? Status() : Status(Error{plan.error()});
}

Result<std::shared_ptr<MovieSource>, JobEnd> checkJob(const RenderJob& job, const BatchLook& look) {
    if (auto end = settleExistingOutput(job.files.output, job.existing)) return *end;
    if (const Status folder = makeOutputFolder(job.files.output); !folder)
        return failed(JobProblem::OutputFolder, folder.error());
    auto source = openJobInput(job.files.input);
    if (source) {
        if (const Status fits = checkCropFits(*(*source)->facts().firstVideoTrack(), look.crop); !fits)
            return failed(JobProblem::BadInput, fits.error());
    }
    if (source && !look.span.isWhole())
        if (const auto problem = spanProblem(look.span, (*source)->facts().videoSeconds()))
            return failed(JobProblem::BadInput, *problem);
    if (source && job.segment) {
        if (const Status count = checkSliceCount((*source)->facts(), *job.segment, look.span); !count)
            return failed(JobProblem::BadInput, count.error());
        if (const Status cuttable = checkSliceable(job.files.input); !cuttable)
            return failed(JobProblem::BadInput, cuttable.error());
        // Read now, before the render reads the file; sliceOf takes it from here.
        if (const Result<SourceIdentity> identity = (*source)->identity(); !identity)
            return failed(JobProblem::BadInput, identity.error());
    }
    if (source)
        if (const Status fits = checkSizeTarget(job, look, **source); !fits)
            return failed(JobProblem::BadInput, fits.error());
    return source;
}

// The slice the job asks for: an equal share of the input's duration, or of
// its span, with the identity checkJob read, the look's digest and the span,
// which every slice of the split records alike.
std::optional<MovieSlice> sliceOf(const RenderJob& job, const BatchLook& look, MovieSource& input) {
    if (!job.segment) return std::nullopt;
    const SliceSound sound = sliceSoundOf(look.settings);
    const std::optional<MovieSpan> span = spanOf(look, input);
    const SliceOrigin origin{input.identity().value(), lookDigest(look.settings, look.logo),
                             sound.leavesSoundAlone() ? std::string() : renderSliceSound(sound), span};
    return MovieSlice{*job.segment, segmentRange(*job.segment, span, input), origin};
}

RenderResult render(const RenderJob& job, const BatchLook& look, std::shared_ptr<MovieSource> source,
                    const fs::path& temporaryDirectory, const std::atomic<bool>& cancel,
                    JobWatcher& watcher) {
    NotificationCenter notifications;
    const ObserverToken token =
        notifications.addObserver(std::string(kUpdateProgress), [&watcher](const Notification& n) {
            if (const std::optional<RenderProgress> report = progressOf(n)) watcher.progress(*report);
        });
    // One pass writes its movie beside the output and renames it into place;
    // the per-effect passes work in the temporary directory and are copied.
    RenderRequest request{look.settings,      look.logo,   fs::absolute(job.files.input),
                          temporaryDirectory, look.passes, fs::absolute(job.files.output)};
    request.ifDestinationTaken = ifTakenUnder(job.existing);
    request.slice = sliceOf(job, look, *source);
    request.source = std::move(source);
    request.renderSettings = look.renderSettings;
    request.crop = look.crop;
    request.cutAtKeyFrames = look.cutAtKeyFrames;
    request.span = spanOf(look, *request.source);
    // The final movie takes the output's container, in either mode.
    request.container = lowerExtension(job.files.output);
    std::optional<RenderResult> result;
    GeneratePreviewVideo(request, cancel, notifications, [&result](const RenderResult& r) { result = r; });
    watcher.progressEnded();
    return *result;
}

JobEnd endOf(const RenderResult& result, const fs::path& output, const std::atomic<bool>& cancel,
             const std::string& lastLogged) {
    switch (result.outcome) {
        case RenderOutcome::Succeeded: {
            if (!cancel) return {JobState::Done};
            // A cancel that arrives after the last pass still leaves nothing at the output.
            std::error_code ignored;
            fs::remove(output, ignored);
            return {JobState::Cancelled};
        }
        case RenderOutcome::Canceled:
            return {JobState::Cancelled};
        case RenderOutcome::Failed:
            // A wait that a cancel broke off ends as a failure of its own; it was the cancel.
            if (cancel) return {JobState::Cancelled};
            break;
    }
    switch (result.placement) {
        case PlacementFailure::Taken:
            return failed(JobProblem::OutputTaken);
        case PlacementFailure::CannotWrite:
            return failed(JobProblem::NotWritten, result.failure);
        case PlacementFailure::None:
            break;
    }
    return failed(JobProblem::RenderFailed, result.failure.empty() ? lastLogged : result.failure);
}

}  // namespace

IfTaken ifTakenUnder(ExistingOutput rule) {
    return rule == ExistingOutput::Replace ? IfTaken::Replace : IfTaken::Keep;
}

Status checkFrameSize(const VideoTrack& track) {
    if (track.width <= kMaxMovieSide && track.height <= kMaxMovieSide) return {};
    return Error{"its frame is " + std::to_string(track.width) + "x" + std::to_string(track.height) +
                 ", larger than the " + std::to_string(kMaxMovieSide) +
                 " pixels a side tintreel-render takes"};
}

Status checkCropFits(const VideoTrack& track, const std::optional<PixelRect>& crop) {
    const Orientation upright = uprightOrientation(track);
    ShapeChoice shape;
    shape.crop = crop;
    if (const auto problem = FrameGeometry(shape).cropProblem({upright.width, upright.height}))
        return Error{*problem};
    return {};
}

Status checkSliceCount(const MediaAsset& movie, const SliceNumber& slice, const MovieSpan& span) {
    // Equal shares of a movie of F frames at a steady rate each hold a frame
    // while there are at most F of them; a slice without frames would be a
    // file no reader, and so no join, accepts.
    const double seconds =
        span.isWhole() ? movie.videoSeconds() : clampedSpan(span, movie.videoSeconds()).length();
    const double frames = std::floor(seconds * movie.framesPerSecond() + 1e-3);
    if (frames < 1 || slice.count <= frames) return {};
    const long long most = static_cast<long long>(frames);
    return Error{(span.isWhole() ? "it has " : "its span has ") + std::to_string(most) +
                 " frames, so it can be cut into at most " + std::to_string(most) + " slices, not " +
                 std::to_string(slice.count)};
}

Result<std::shared_ptr<MovieSource>, JobEnd> openJobInput(const fs::path& input) {
    if (!hasMovieExtension(input)) return failed(JobProblem::NotAMovie);
    // A pipe or a device would block the open.
    if (const Status file = checkInputFileIfPresent(input); !file)
        return failed(JobProblem::BadInput, file.error());
    Result<std::shared_ptr<MovieSource>> source = MovieSource::open(input);
    if (!source) return failed(JobProblem::BadInput, source.error());
    if (const Status video = (*source)->facts().videoStatus(); !video)
        return failed(JobProblem::BadInput, video.error());
    if (const Status size = checkFrameSize(*(*source)->facts().firstVideoTrack()); !size)
        return failed(JobProblem::BadInput, size.error());
    return std::move(*source);
}

JobEnd runRenderJob(const RenderJob& job, const BatchLook& look, const std::atomic<bool>& cancel,
                    JobWatcher& watcher) {
    // The engine's lines of this job go to its watcher, and say why it failed
    // when the render itself does not.
    std::string lastLogged;
    const ScopedThreadLogSink log([&](std::string_view line) {
        lastLogged = line;
        watcher.logged(line);
    });
    auto source = checkJob(job, look);
    if (!source) return source.failure();
    if (!watcher.mayStart()) return {JobState::Cancelled};
    removeAbandonedPartials(job.files.output);
    std::optional<TemporaryDirectory> directory = TemporaryDirectory::create();
    if (!directory) return failed(JobProblem::NoTemporaryDirectory);
    // Memory that runs out fails this job alone: the other jobs of a batch
    // go on and the run still ends with its summary.
    try {
        return endOf(render(job, look, std::move(*source), directory->path(), cancel, watcher),
                     job.files.output, cancel, lastLogged);
    } catch (const std::bad_alloc&) {
        return failed(JobProblem::OutOfMemory);
    }
}

std::string endMessage(const JobEnd& end, const PlannedJob& files) {
    const std::string output = files.output.string();
    switch (end.problem) {
        case JobProblem::None:
            if (end.state == JobState::Done) return "wrote " + output;
            return end.state == JobState::Skipped ? "kept the existing " + output : std::string();
        case JobProblem::OutputExists:
            return output + " already exists";
        case JobProblem::NotAMovie:
            return "not a movie";
        case JobProblem::NoTemporaryDirectory:
            return "cannot create a private temporary directory";
        case JobProblem::NotWritten:
            return "cannot write " + output + ": " + end.detail;
        case JobProblem::OutputTaken:
            return output + " appeared while this video rendered; it was kept";
        case JobProblem::OutOfMemory:
            return "not enough memory to render this video";
        case JobProblem::OutputFolder:
        case JobProblem::BadInput:
        case JobProblem::RenderFailed:
            break;
    }
    return end.detail;
}

}  // namespace tintreel
