#include "cli/BatchRunner.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/CancelOnSignals.h"
#include "cli/JsonProgress.h"
#include "cli/MovieCommand.h"
#include "cli/OutputTarget.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

class BatchRunner {
public:
    BatchRunner(const CliOptions& options, const BatchPlan& plan, const EffectSettings& settings,
                const Image& logo)
        : options_(options), plan_(plan), settings_(settings), logo_(logo) {}

    int run() {
        const std::size_t workers =
            std::min<std::size_t>(static_cast<std::size_t>(options_.jobs), plan_.jobs.size());
        {
            std::vector<std::jthread> threads;
            for (std::size_t i = 0; i < workers; ++i) threads.emplace_back([this] { work(); });
        }
        report();
        if (counts_.cancelled > 0) return kExitCancelled;
        return counts_.failed > 0 ? kExitRenderFailed : kExitSuccess;
    }

private:
    // Takes the next job until none is left; after a cancel each one left is
    // counted as cancelled without starting.
    void work() {
        for (std::size_t index = next_++; index < plan_.jobs.size(); index = next_++) {
            const PlannedJob& job = plan_.jobs[index];
            const std::unique_ptr<JobOutput> out = outputOf(job);
            const JobState state = cancel_.flag() ? JobState::Cancelled : runJob(job, *out);
            out->finished(state, endingOf(state, job));
            count(state, job);
        }
    }

    JobState runJob(const PlannedJob& job, JobOutput& out) const {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(job.output, ec))) {
            if (options_.skipExisting) return JobState::Skipped;
            if (!options_.overwrite) {
                out.line("tintreel-render: " + existsMessage(job.output) + ", or --skip-existing to keep it");
                return JobState::Failed;
            }
        }
        if (const auto problem = makeOutputFolder(job.output)) {
            out.line("tintreel-render: " + *problem);
            return JobState::Failed;
        }
        CliOptions jobOptions = options_;
        jobOptions.input = job.input;
        jobOptions.output = job.output;
        const JobState state = jobStateOf(renderMovie(
            jobOptions, settings_, [this](JobOutput&) { return std::optional<Image>(logo_); }, cancel_.flag(),
            out));
        // A wait the signal broke off ends as a failure of its own; it was a cancel.
        return state == JobState::Failed && cancel_.flag() ? JobState::Cancelled : state;
    }

    std::unique_ptr<JobOutput> outputOf(const PlannedJob& job) const {
        if (options_.progress == ProgressFormat::Json)
            return std::make_unique<JsonJobOutput>(job.input, job.output);
        return std::make_unique<HumanJobOutput>(job.input.string(), options_.jobs > 1);
    }

    static std::string endingOf(JobState state, const PlannedJob& job) {
        switch (state) {
            case JobState::Done:
                return "wrote " + printableText(job.output.string());
            case JobState::Skipped:
                return "kept the existing " + printableText(job.output.string());
            default:
                return {};
        }
    }

    void count(JobState state, const PlannedJob& job) {
        const std::lock_guard lock(countsMutex_);
        counts_.add(state, job.input);
    }

    void report() {
        std::sort(counts_.failedInputs.begin(), counts_.failedInputs.end());
        const std::string line = "tintreel-render: " + batchSummary(counts_);
        if (options_.progress == ProgressFormat::Json) return printJsonSummary(counts_, line);
        printLine(std::cerr, printableText(line));
    }

    const CliOptions& options_;
    const BatchPlan& plan_;
    const EffectSettings& settings_;
    const Image& logo_;
    const CancelOnSignals cancel_;
    std::atomic<std::size_t> next_{0};
    std::mutex countsMutex_;
    BatchCounts counts_;
};

}  // namespace

int runBatch(const CliOptions& options, const BatchPlan& plan, const EffectSettings& settings,
             const Image& logo) {
    return BatchRunner(options, plan, settings, logo).run();
}

}  // namespace tintreel
