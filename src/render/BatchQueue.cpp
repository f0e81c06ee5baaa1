#include "render/BatchQueue.h"

#include <algorithm>
#include <system_error>

#include "platform/media/MediaAsset.h"
#include "platform/media/MovieTypes.h"
#include "platform/system/Log.h"
#include "platform/system/NotificationCenter.h"
#include "platform/system/TemporaryDirectory.h"
#include "render/RenderWorker.h"
#include "render/VideoTools.h"
#include "settings/ProgressText.h"

namespace tintreel {
namespace fs = std::filesystem;

BatchQueue::BatchQueue(std::vector<PlannedJob> jobs, BatchLook look, ExistingOutput existing, int workers,
                       BatchListener& listener, RenderSlots& slots)
    : jobs_(std::move(jobs)),
      look_(std::move(look)),
      existing_(existing),
      workers_(std::clamp<int>(workers, 1, std::max<int>(1, static_cast<int>(jobs_.size())))),
      listener_(listener),
      slots_(slots),
      cancelled_(std::make_unique<std::atomic<bool>[]>(jobs_.size())) {}

BatchQueue::~BatchQueue() {
    cancelAll();
    threads_.clear();  // joins
}

void BatchQueue::start() {
    if (jobs_.empty()) return listener_.finished(counts_);
    running_ = workers_;
    for (int i = 0; i < workers_; ++i) threads_.emplace_back([this] { work(); });
}

void BatchQueue::cancel(std::size_t index) {
    if (index < jobs_.size()) cancelled_[index] = true;
}

void BatchQueue::cancelAll() {
    for (std::size_t i = 0; i < jobs_.size(); ++i) cancelled_[i] = true;
}

// Takes the next job until none is left; a job cancelled before its turn
// ends as cancelled without starting.
void BatchQueue::work() {
    for (std::size_t index = next_++; index < jobs_.size(); index = next_++) {
        std::string message;
        const JobState state = cancelled_[index] ? JobState::Cancelled : runJob(index, message);
        report({index, state, state == JobState::Done ? 100.0 : 0.0, std::nullopt, message});
        const std::lock_guard lock(countsMutex_);
        counts_.add(state, jobs_[index].input);
    }
    if (--running_ == 0) listener_.finished(counts_);
}

JobState BatchQueue::runJob(std::size_t index, std::string& message) {
    const PlannedJob& job = jobs_[index];
    std::error_code ec;
    if (fs::exists(fs::symlink_status(job.output, ec)) && existing_ != ExistingOutput::Replace) {
        message = existing_ == ExistingOutput::Skip ? "kept the existing " + job.output.string()
                                                    : job.output.string() + " already exists";
        return existing_ == ExistingOutput::Skip ? JobState::Skipped : JobState::Failed;
    }
    if (auto problem = makeOutputFolder(job.output)) {
        message = std::move(*problem);
        return JobState::Failed;
    }
    if (auto problem = MediaAsset::open(job.input).videoProblem()) {
        message = std::move(*problem);
        return JobState::Failed;
    }
    std::optional<RenderSlots::Slot> slot = slots_.tryAcquire();
    if (!slot) {
        report({index, JobState::Running, 0, std::nullopt, "waiting for a render to end"});
        slot = slots_.acquire(cancelled_[index]);
    }
    return slot ? render(index, message) : JobState::Cancelled;
}

JobState BatchQueue::render(std::size_t index, std::string& message) {
    const PlannedJob& job = jobs_[index];
    std::optional<TemporaryDirectory> directory = TemporaryDirectory::create();
    if (!directory) {
        message = "cannot create a private temporary directory";
        return JobState::Failed;
    }
    // The engine's lines of this job say why it failed when the render itself does not.
    std::string lastLogged;
    const ScopedThreadLogSink log([&lastLogged](std::string_view line) { lastLogged = line; });
    NotificationCenter notifications;
    const ObserverToken token =
        notifications.addObserver(std::string(kUpdateProgress), [this, index](const Notification& n) {
            if (const std::optional<RenderProgress> progress = progressOf(n))
                report({index, JobState::Running, renderPercent(*progress), progress->secondsLeft, {}});
        });
    RenderRequest request{look_.settings,    look_.logo,    fs::absolute(job.input),
                          directory->path(), PassMode::One, fs::absolute(job.output)};
    request.renderSettings = look_.renderSettings;
    request.container = lowerExtension(job.output);
    std::optional<RenderResult> result;
    GeneratePreviewVideo(request, cancelled_[index], notifications,
                         [&result](const RenderResult& r) { result = r; });
    switch (result->outcome) {
        case RenderOutcome::Succeeded:
            message = "wrote " + job.output.string();
            return JobState::Done;
        case RenderOutcome::Failed:
            message = result->failure.empty() ? lastLogged : result->failure;
            return JobState::Failed;
        case RenderOutcome::Canceled:
            return JobState::Cancelled;
    }
    return JobState::Failed;
}

void BatchQueue::report(JobReport update) {
    if (listener_.report) listener_.report(update);
}

}  // namespace tintreel
