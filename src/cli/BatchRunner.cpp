#include "cli/BatchRunner.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <iostream>
#include <memory>
#include <vector>

#include "cli/CancelOnSignals.h"
#include "cli/JsonProgress.h"
#include "cli/OutputTarget.h"
#include "platform/system/Log.h"
#include "render/BatchQueue.h"

namespace tintreel {

namespace {

std::vector<std::unique_ptr<JobOutput>> outputsOf(const CliOptions& options, const BatchPlan& plan) {
    std::vector<std::unique_ptr<JobOutput>> outputs;
    for (const PlannedJob& job : plan.jobs) {
        if (options.progress == ProgressFormat::Json)
            outputs.push_back(std::make_unique<JsonJobOutput>(job.input, job.output));
        else
            outputs.push_back(std::make_unique<HumanJobOutput>(job.input.string(), options.jobs > 1));
    }
    return outputs;
}

void printSummary(const CliOptions& options, BatchCounts counts) {
    std::sort(counts.failedInputs.begin(), counts.failedInputs.end());
    const std::string line = "tintreel-render: " + batchSummary(counts);
    if (options.progress == ProgressFormat::Json) return printJsonSummary(counts, line);
    printLine(std::cerr, printableText(line));
}

// Waits for the queue to end; a signal meanwhile cancels every job.
BatchCounts waitFor(BatchQueue& queue, std::future<BatchCounts>& finished,
                    const std::atomic<bool>& signalled) {
    while (finished.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
        if (signalled) queue.cancelAll();
    return finished.get();
}

}  // namespace

int runBatch(const CliOptions& options, const BatchPlan& plan, const EffectSettings& settings,
             const Image& logo) {
    const CancelOnSignals cancelOnSignals;
    const std::vector<std::unique_ptr<JobOutput>> outputs = outputsOf(options, plan);
    std::promise<BatchCounts> done;
    BatchListener listener;
    listener.watcher = [&outputs](std::size_t index) -> JobWatcher* { return outputs[index].get(); };
    listener.report = [&](const JobReport& report) {
        if (report.state != JobState::Running)
            reportJobEnd({report.state, report.problem, report.detail}, plan.jobs[report.index],
                         *outputs[report.index]);
    };
    listener.finished = [&done](const BatchCounts& counts) { done.set_value(counts); };
    // The jobs of this process are all the renders it runs.
    RenderSlots slots(options.jobs);
    std::future<BatchCounts> finished = done.get_future();
    BatchCounts counts;
    {
        BatchQueue queue(plan.jobs,
                         {settings, logo, options.render, options.passes, options.crop, options.span,
                          options.cut == CutMode::KeyFrames},
                         existingOutputRule(options), options.jobs, listener, slots);
        queue.start();
        counts = waitFor(queue, finished, cancelOnSignals.flag());
    }
    printSummary(options, counts);
    if (counts.cancelled > 0) return kExitCancelled;
    return counts.failed > 0 ? kExitRenderFailed : kExitSuccess;
}

}  // namespace tintreel
