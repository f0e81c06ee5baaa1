#pragma once
// The one job loop of every batch, the Batch Render window's and the command
// line's: each job renders one input with one look into its output
// (runRenderJob), N jobs at once, each holding a slot of a render limit
// (RenderSlots) while it renders. A job fails alone (an unreadable,
// truncated or video-less input, an output that exists when the batch says
// so, or one that appeared while it rendered); cancelling one job or all
// leaves nothing under their final names.
//
// Ownership: the queue owns its worker threads and copies of the jobs and
// the look; the listener (and the watchers it hands out) belong to the
// caller and must outlive the queue.
// Threads: construct, start, cancel and destroy on one thread; the listener
// and a job's watcher are called on the worker threads (a job's reports in
// order, from one thread), `finished` last of all, once. Destroying the
// queue cancels what runs and waits for it.

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "render/BatchJobs.h"
#include "render/RenderJob.h"
#include "render/RenderSlots.h"

namespace tintreel {

// One update of one job.
struct JobReport {
    std::size_t index = 0;
    JobState state = JobState::Running;
    double percent = 0;                     // 0 ... 100
    std::optional<double> secondsLeft;      // once measured
    std::string message;                    // how it ended (endMessage), or why it waits
    JobProblem problem = JobProblem::None;  // on the last report: why it ended so
    std::string detail = {};                // and in the underlying words
};

struct BatchListener {
    std::function<void(const JobReport&)> report;
    std::function<void(const BatchCounts&)> finished;
    // Optional: who else follows job `index` as it runs (every progress
    // notification, the engine's lines), or null.
    std::function<JobWatcher*(std::size_t index)> watcher;
};

class BatchQueue {
public:
    BatchQueue(std::vector<PlannedJob> jobs, BatchLook look, ExistingOutput existing, int workers,
               BatchListener& listener, RenderSlots& slots = RenderSlots::shared());
    ~BatchQueue();
    BatchQueue(const BatchQueue&) = delete;
    BatchQueue& operator=(const BatchQueue&) = delete;

    void start();
    // A running job stops and leaves nothing; a waiting one never starts.
    void cancel(std::size_t index);
    void cancelAll();

private:
    class JobRun;

    void work();
    JobEnd runJob(std::size_t index);
    void report(JobReport update);

    const std::vector<PlannedJob> jobs_;
    const BatchLook look_;
    const ExistingOutput existing_;
    const int workers_;
    BatchListener& listener_;
    RenderSlots& slots_;
    std::unique_ptr<std::atomic<bool>[]> cancelled_;  // one flag per job
    std::atomic<std::size_t> next_{0};
    std::atomic<int> running_{0};  // workers still working
    std::mutex countsMutex_;
    BatchCounts counts_;
    std::vector<std::jthread> threads_;
};

}  // namespace tintreel
