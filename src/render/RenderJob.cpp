#include "render/RenderJob.h"

#include <system_error>

#include "platform/media/MediaAsset.h"
#include "platform/media/MovieTypes.h"
#include "platform/system/Log.h"
#include "platform/system/TemporaryDirectory.h"
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

std::optional<JobEnd> checkJob(const RenderJob& job) {
    if (auto end = settleExistingOutput(job.files.output, job.existing)) return end;
    if (auto problem = makeOutputFolder(job.files.output)) return failed(JobProblem::OutputFolder, *problem);
    if (auto end = checkInput(job.files.input)) return end;
    if (job.segment)
        if (auto problem = sliceProblem(job.files.input)) return failed(JobProblem::BadInput, *problem);
    return std::nullopt;
}

// The slice the job asks for: an equal share of the input's duration.
std::optional<MovieSlice> sliceOf(const RenderJob& job) {
    if (!job.segment) return std::nullopt;
    const double duration = MediaAsset::open(job.files.input).durationSeconds();
    return MovieSlice{*job.segment, sliceRange(*job.segment, duration)};
}

RenderResult render(const RenderJob& job, const BatchLook& look, const fs::path& temporaryDirectory,
                    const std::atomic<bool>& cancel, JobWatcher& watcher) {
    NotificationCenter notifications;
    const ObserverToken token = notifications.addObserver(
        std::string(kUpdateProgress), [&watcher](const Notification& n) { watcher.progress(n); });
    // One pass writes its movie beside the output and renames it into place;
    // the per-effect passes work in the temporary directory and are copied.
    RenderRequest request{look.settings,      look.logo,   fs::absolute(job.files.input),
                          temporaryDirectory, look.passes, fs::absolute(job.files.output)};
    request.ifDestinationTaken = ifTakenUnder(job.existing);
    request.slice = sliceOf(job);
    request.renderSettings = look.renderSettings;
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
        case RenderOutcome::Succeeded:
            if (!cancel) return {JobState::Done};
            // A cancel that arrives after the last pass still leaves nothing at the output.
            if (std::error_code ignored; true) fs::remove(output, ignored);
            return {JobState::Cancelled};
        case RenderOutcome::Canceled:
            return {JobState::Cancelled};
        case RenderOutcome::Failed:
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

std::optional<JobEnd> checkInput(const fs::path& input) {
    if (!hasMovieExtension(input)) return failed(JobProblem::NotAMovie);
    if (auto problem = MediaAsset::open(input).videoProblem()) return failed(JobProblem::BadInput, *problem);
    return std::nullopt;
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
    if (auto end = checkJob(job)) return *end;
    if (!watcher.mayStart()) return {JobState::Cancelled};
    removeAbandonedPartials(job.files.output);
    std::optional<TemporaryDirectory> directory = TemporaryDirectory::create();
    if (!directory) return failed(JobProblem::NoTemporaryDirectory);
    return endOf(render(job, look, directory->path(), cancel, watcher), job.files.output, cancel, lastLogged);
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
        case JobProblem::OutputFolder:
        case JobProblem::BadInput:
        case JobProblem::RenderFailed:
            break;
    }
    return end.detail;
}

}  // namespace tintreel
