#include "render/BatchQueue.h"

#include <algorithm>

#include "settings/ProgressText.h"

namespace tintreel {

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

// Follows one job for the queue: its slot, its progress as reports, and
// whoever else the listener names.
class BatchQueue::JobRun final : public JobWatcher {
public:
    JobRun(BatchQueue& queue, std::size_t index)
        : queue_(queue),
          index_(index),
          also_(queue.listener_.watcher ? queue.listener_.watcher(index) : nullptr) {}

    bool mayStart() override {
        slot_ = queue_.slots_.tryAcquire();
        if (!slot_) {
            queue_.report({index_, JobState::Running, 0, std::nullopt, "waiting for a render to end"});
            slot_ = queue_.slots_.acquire(queue_.cancelled_[index_]);
        }
        return slot_.has_value() && (!also_ || also_->mayStart());
    }
    void progress(const RenderProgress& report) override {
        if (also_) also_->progress(report);
        queue_.report({index_, JobState::Running, renderPercent(report), report.secondsLeft, {}});
    }
    void progressEnded() override {
        if (also_) also_->progressEnded();
    }
    void logged(std::string_view line) override {
        if (also_) also_->logged(line);
    }

private:
    BatchQueue& queue_;
    const std::size_t index_;
    JobWatcher* const also_;
    std::optional<RenderSlots::Slot> slot_;  // held until the job ends
};

// Takes the next job until none is left; a job cancelled before its turn
// ends as cancelled without starting.
void BatchQueue::work() {
    for (std::size_t index = next_++; index < jobs_.size(); index = next_++) {
        const JobEnd end = cancelled_[index] ? JobEnd{JobState::Cancelled} : runJob(index);
        report({index, end.state, end.state == JobState::Done ? 100.0 : 0.0, std::nullopt,
                endMessage(end, jobs_[index]), end.problem, end.detail});
        const std::lock_guard lock(countsMutex_);
        counts_.add(end.state, jobs_[index].input);
    }
    if (--running_ == 0) listener_.finished(counts_);
}

JobEnd BatchQueue::runJob(std::size_t index) {
    JobRun run(*this, index);
    return runRenderJob({jobs_[index], existing_}, look_, cancelled_[index], run);
}

void BatchQueue::report(JobReport update) {
    if (listener_.report) listener_.report(update);
}

}  // namespace tintreel
