#pragma once
// Runs the jobs of a batch from the window: each job renders one input with
// one look in one pass into its output, N jobs at once, each holding a slot
// of the process's render limit (RenderSlots) while it renders. A job fails
// alone (an unreadable, truncated or video-less input, an output that
// exists when the batch says so); cancelling one job or all leaves nothing
// under their final names.
//
// Ownership: the queue owns its worker threads and copies of the jobs and
// the look; the listener belongs to the caller and must outlive the queue.
// Threads: construct, start, cancel and destroy on one thread; the listener
// is called on the worker threads (a job's reports in order, from one
// thread), `finished` last of all, once. Destroying the queue cancels what
// runs and waits for it.

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "imaging/EffectSettings.h"
#include "platform/filters/Image.h"
#include "platform/media/MovieSource.h"
#include "platform/media/RenderSettings.h"
#include "render/BatchJobs.h"
#include "render/RenderSlots.h"

namespace tintreel {

// What a batch applies to every input.
struct BatchLook {
    EffectSettings settings;
    Image logo;
    RenderSettings renderSettings;
};

// What a job does when its output is already there.
enum class ExistingOutput { Skip, Replace, Fail };

// One update of one job.
struct JobReport {
    std::size_t index = 0;
    JobState state = JobState::Running;
    double percent = 0;                 // 0 ... 100
    std::optional<double> secondsLeft;  // once measured
    std::string message;                // how it ended, or why it waits
};

struct BatchListener {
    std::function<void(const JobReport&)> report;
    std::function<void(const BatchCounts&)> finished;
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
    void work();
    JobState runJob(std::size_t index, std::string& message);
    JobState render(std::size_t index, std::shared_ptr<MovieSource> source, std::string& message);
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
