// Jobs and the batch queue of the window: every job ends in one state, a
// bad input fails alone, an existing output follows the batch's rule,
// cancelling one job or all leaves nothing under their names, and the limit
// on renders at once is the slots', whose own rules close the file.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <latch>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/system/ProcessTag.h"
#include "platform/system/TemporaryDirectory.h"
#include "render/BatchQueue.h"
#include "render/RenderFixtures.h"
#include "render/RenderJob.h"
#include "render/RenderSlots.h"
#include "settings/ControlCatalogue.h"
#include "support/GoneProcess.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Runs a queue to its end and keeps what it reported.
class Recorder {
public:
    explicit Recorder(std::function<void(const JobReport&)> also = {}) {
        listener.report = [this, also](const JobReport& report) {
            {
                std::lock_guard lock(mutex_);
                reports_.push_back(report);
            }
            if (also) also(report);
        };
        listener.finished = [this](const BatchCounts& counts) { done_.set_value(counts); };
    }
    BatchCounts wait() { return done_.get_future().get(); }
    std::vector<JobReport> reportsOf(std::size_t index) const {
        std::lock_guard lock(mutex_);
        std::vector<JobReport> of;
        for (const JobReport& report : reports_)
            if (report.index == index) of.push_back(report);
        return of;
    }
    BatchListener listener;

private:
    mutable std::mutex mutex_;
    std::vector<JobReport> reports_;
    std::promise<BatchCounts> done_;
};

BatchLook grayLook() {
    EffectSettings settings = defaultEffectSettings();
    settings.checkBlackWhite = 1;
    return {settings, Image(), {}};
}

fs::path longClip() {
    return test::makeClip("-f lavfi -i testsrc2=s=640x360:r=30:d=20 -pix_fmt yuv420p -c:v libx264 -g 30",
                          "mp4");
}

using test::entriesOf;

struct CancelledRun {
    BatchCounts counts;
    std::size_t secondJobReports;
};

// Runs `jobs` on one worker and does `cancel` to the queue once a job
// (`only` that one, when given) has made progress.
CancelledRun cancelWhileRendering(const std::vector<PlannedJob>& jobs, std::optional<std::size_t> only,
                                  const std::function<void(BatchQueue&)>& cancel) {
    std::promise<void> rendering;
    std::once_flag once;
    Recorder recorder([&](const JobReport& r) {
        if ((!only || r.index == *only) && r.state == JobState::Running && r.percent > 0)
            std::call_once(once, [&] { rendering.set_value(); });
    });
    RenderSlots slots(1);
    BatchQueue queue(jobs, grayLook(), ExistingOutput::Fail, 1, recorder.listener, slots);
    queue.start();
    rendering.get_future().wait();
    cancel(queue);
    const BatchCounts counts = recorder.wait();
    return {counts, recorder.reportsOf(1).size()};
}

TEST(BatchQueue, GoodInputsRenderABadOneFailsAloneAndAnExistingOutputIsSkipped) {
    TemporaryDirectory out = *TemporaryDirectory::create();
    const fs::path broken = out.path() / "broken.mp4";
    { std::ofstream(broken) << "not a movie"; }
    const fs::path kept = out.path() / "kept.mp4";
    { std::ofstream(kept) << "already here"; }
    const std::vector<PlannedJob> jobs{{test::barsWithTone("mp4"), out.path() / "a.mp4"},
                                       {broken, out.path() / "b.mp4"},
                                       {test::barsWithTone("mov"), out.path() / "c.mov"},
                                       {test::barsWithTone("mp4"), kept}};
    // Each job opens its input once, for the check and the render alike; the skipped job not at all.
    std::map<fs::path, long long> opensBefore;
    for (const PlannedJob& job : jobs) opensBefore[job.input] = inputOpenCount(job.input);
    Recorder recorder;
    RenderSlots slots(2);
    BatchQueue queue(jobs, grayLook(), ExistingOutput::Skip, 2, recorder.listener, slots);
    queue.start();
    const BatchCounts counts = recorder.wait();
    for (const auto& [input, before] : opensBefore) EXPECT_EQ(inputOpenCount(input) - before, 1) << input;

    EXPECT_EQ(counts.done, 2);
    EXPECT_EQ(counts.skipped, 1);
    EXPECT_EQ(counts.failed, 1);
    EXPECT_EQ(counts.failedInputs, std::vector<fs::path>{broken});
    EXPECT_EQ(batchSummary(counts), "2 done, 1 skipped, 1 failed, 0 cancelled; failed: " + broken.string());
    test::expectSameMovie(jobs[0].input, jobs[0].output);
    ASSERT_TRUE(fs::exists(jobs[2].output));
    EXPECT_EQ(test::probeStream(jobs[2].output, "v:0")->frames,
              test::probeStream(jobs[2].input, "v:0")->frames);
    std::ifstream keptFile(kept);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(keptFile), {}), "already here");
    EXPECT_FALSE(fs::exists(jobs[1].output));

    // The look was applied: the bars came out gray.
    const std::optional<Image> frame = test::ffmpegFrame(jobs[0].output, 0.5);
    ASSERT_TRUE(frame);
    int largestSpread = 0;
    for (int y = 0; y < frame->height(); y += 7)
        for (int x = 0; x < frame->width(); x += 7) {
            const std::uint8_t* p = frame->pixel(x, y);
            largestSpread = std::max({largestSpread, std::abs(p[0] - p[1]), std::abs(p[1] - p[2])});
        }
    EXPECT_LE(largestSpread, 12) << "colour left in a black-and-white render";

    // Each job's reports end with its state; a done job's percent climbs to 100.
    const std::vector<JobReport> first = recorder.reportsOf(0);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.back().state, JobState::Done);
    EXPECT_DOUBLE_EQ(first.back().percent, 100.0);
    for (std::size_t i = 1; i < first.size(); ++i) EXPECT_GE(first[i].percent, first[i - 1].percent);
    EXPECT_EQ(recorder.reportsOf(1).back().state, JobState::Failed);
    EXPECT_FALSE(recorder.reportsOf(1).back().message.empty()) << "a failure says why";
}

TEST(BatchQueue, AnExistingOutputFailsItsJobWhenAskedAndIsReplacedWhenAsked) {
    TemporaryDirectory out = *TemporaryDirectory::create();
    const fs::path existing = out.path() / "there.mp4";
    for (ExistingOutput rule : {ExistingOutput::Fail, ExistingOutput::Replace}) {
        { std::ofstream(existing) << "old"; }
        Recorder recorder;
        RenderSlots slots(1);
        BatchQueue queue({{test::barsWithTone("mp4"), existing}}, grayLook(), rule, 1, recorder.listener,
                         slots);
        queue.start();
        const BatchCounts counts = recorder.wait();
        if (rule == ExistingOutput::Fail) {
            EXPECT_EQ(counts.failed, 1);
            EXPECT_EQ(fs::file_size(existing), 3u) << "a failed job left the file alone";
        } else {
            EXPECT_EQ(counts.done, 1);
            EXPECT_TRUE(test::probeStream(existing, "v:0"));
        }
    }
}

TEST(BatchQueue, CancellingOneJobOrAllLeavesNothingUnderTheirNames) {
    TemporaryDirectory out = *TemporaryDirectory::create();
    const fs::path source = longClip();
    // One worker: the long job is cancelled while it renders; the short one behind it still runs.
    const CancelledRun one = cancelWhileRendering(
        {{source, out.path() / "long.mp4"}, {test::barsWithTone("mp4"), out.path() / "short.mp4"}}, 0,
        [](BatchQueue& queue) { queue.cancel(0); });
    EXPECT_EQ(one.counts.cancelled, 1);
    EXPECT_EQ(one.counts.done, 1);
    EXPECT_EQ(entriesOf(out.path()), std::vector<std::string>{"short.mp4"});

    // Cancel all: the running job stops, the waiting one never starts.
    const CancelledRun all =
        cancelWhileRendering({{source, out.path() / "one.mp4"}, {source, out.path() / "two.mp4"}},
                             std::nullopt, [](BatchQueue& queue) { queue.cancelAll(); });
    EXPECT_EQ(all.counts.cancelled, 2);
    EXPECT_EQ(entriesOf(out.path()), std::vector<std::string>{"short.mp4"}) << "no partial file is left";
    EXPECT_EQ(all.secondJobReports, 1u) << "the second job never started";
}

TEST(BatchQueue, JobsWaitForASlotHeldElsewhere) {
    TemporaryDirectory out = *TemporaryDirectory::create();
    RenderSlots slots(1);
    std::optional<RenderSlots::Slot> editorRender = slots.tryAcquire();
    std::promise<void> waiting;
    std::once_flag once;
    Recorder recorder([&](const JobReport& r) {
        if (!r.message.empty() && r.state == JobState::Running)
            std::call_once(once, [&] { waiting.set_value(); });
    });
    BatchQueue queue({{test::barsWithTone("mp4"), out.path() / "a.mp4"}}, grayLook(), ExistingOutput::Fail, 1,
                     recorder.listener, slots);
    queue.start();
    waiting.get_future().wait();  // the job says it waits for a render to end
    EXPECT_EQ(recorder.reportsOf(0).back().percent, 0.0);
    editorRender.reset();
    EXPECT_EQ(recorder.wait().done, 1);
}

// Does `act` once, at the render's first progress.
class OnFirstProgress : public JobWatcher {
public:
    explicit OnFirstProgress(std::function<void()> act) : act_(std::move(act)) {}
    void progress(const RenderProgress&) override { std::call_once(once_, act_); }

private:
    std::function<void()> act_;
    std::once_flag once_;
};

BatchLook sepiaLook(PassMode passes) {
    EffectSettings settings = defaultEffectSettings();
    settings.checkSepia = 1;
    settings.checkVignette = 1;
    return {settings, Image(), {}, passes};
}

std::string contents(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

// One job into one output: a file that appears at the output while the job
// renders is never replaced unless the rule says Replace, of two jobs racing
// for one output exactly one wins, a finished movie that cannot be put in
// place leaves nothing beside the output, and partial files killed runs of
// this machine left beside the output go.
TEST(RenderJob, WhatAppearsAtTheOutputWhileItRendersIsKeptUnlessReplacing) {
    enum class Appears { File, Folder };
    struct Case {
        ExistingOutput rule;
        PassMode passes;
        Appears appears;
        JobState state;
        JobProblem problem;
    };
    const Case cases[] = {
        {ExistingOutput::Fail, PassMode::One, Appears::File, JobState::Failed, JobProblem::OutputTaken},
        {ExistingOutput::Skip, PassMode::One, Appears::File, JobState::Failed, JobProblem::OutputTaken},
        {ExistingOutput::Fail, PassMode::Each, Appears::File, JobState::Failed, JobProblem::OutputTaken},
        {ExistingOutput::Replace, PassMode::One, Appears::File, JobState::Done, JobProblem::None},
        {ExistingOutput::Replace, PassMode::One, Appears::Folder, JobState::Failed, JobProblem::NotWritten},
        {ExistingOutput::Replace, PassMode::Each, Appears::Folder, JobState::Failed, JobProblem::NotWritten},
    };
    const fs::path input = test::barsWithTone("mp4");
    const std::string gone = std::to_string(test::goneProcessId());
    for (const Case& c : cases) {
        const fs::path dir = test::scratchDirectory("render-job-appears");
        const fs::path output = dir / "out.mp4";
        // Left by killed runs: one of this machine, one of another.
        const std::string ours = "out.mp4." + hostTag() + "-" + gone + "-0.partial.mp4";
        const std::string theirs = "out.mp4." + hostTag() + "x-" + gone + "-0.partial.mp4";
        std::ofstream(dir / ours) << "half";
        std::ofstream(dir / theirs) << "half";
        OnFirstProgress appear([&] {
            if (c.appears == Appears::File)
                std::ofstream(output) << "written meanwhile";
            else
                fs::create_directory(output);
        });
        const std::atomic<bool> cancel{false};
        const JobEnd end = runRenderJob({{input, output}, c.rule}, sepiaLook(c.passes), cancel, appear);

        const std::string label = "rule " + std::to_string(static_cast<int>(c.rule)) + ", passes " +
                                  std::to_string(static_cast<int>(c.passes));
        EXPECT_EQ(end.state, c.state) << label;
        EXPECT_EQ(end.problem, c.problem) << label << ": " << end.detail;
        EXPECT_EQ(test::entriesOf(dir), (std::vector<std::string>{"out.mp4", theirs}))
            << label << ": nothing of the job is left beside the output, nor our killed run's";
        if (c.problem == JobProblem::OutputTaken) {
            EXPECT_EQ(contents(output), "written meanwhile") << label;
        }
        if (c.problem == JobProblem::NotWritten) {
            EXPECT_TRUE(fs::is_directory(output)) << label;
            EXPECT_FALSE(end.detail.empty()) << label;
            EXPECT_EQ(endMessage(end, {input, output}),
                      "cannot write " + output.string() + ": " + end.detail);
        }
        if (c.state == JobState::Done) {
            EXPECT_TRUE(test::probeStream(output, "v:0")) << label;
        }
    }
}

TEST(RenderJob, OfTwoJobsRacingForOneOutputExactlyOneWins) {
    const fs::path input = test::barsWithTone("mp4");
    const fs::path dir = test::scratchDirectory("render-job-race");
    const fs::path output = dir / "out.mp4";
    // Both have passed their checks and render before either can finish.
    std::latch bothRendering(2);
    JobEnd ends[2];
    {
        std::jthread racers[2];
        for (int i = 0; i < 2; ++i)
            racers[i] = std::jthread([&, i] {
                OnFirstProgress meet([&] { bothRendering.arrive_and_wait(); });
                const std::atomic<bool> cancel{false};
                ends[i] = runRenderJob({{input, output}, ExistingOutput::Fail}, sepiaLook(PassMode::One),
                                       cancel, meet);
            });
    }
    ASSERT_NE(ends[0].state == JobState::Done, ends[1].state == JobState::Done)
        << ends[0].detail << " / " << ends[1].detail;
    const JobEnd& loser = ends[0].state == JobState::Done ? ends[1] : ends[0];
    EXPECT_EQ(loser.state, JobState::Failed);
    EXPECT_EQ(loser.problem, JobProblem::OutputTaken);
    EXPECT_EQ(test::entriesOf(dir), std::vector<std::string>{"out.mp4"});
    test::expectSameMovie(input, output);
}

// The process's render limit: never more holders than the limit, slots in
// the order they were asked for, and a cancelled waiter that leaves at once
// without holding up those behind it.
TEST(RenderSlots, TheLimitHoldsAndWaitersAreServedInTurn) {
    RenderSlots slots(2);
    std::optional<RenderSlots::Slot> first = slots.tryAcquire();
    std::optional<RenderSlots::Slot> second = slots.tryAcquire();
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(slots.tryAcquire()) << "a third holder over a limit of two";
    EXPECT_EQ(slots.inUse(), 2);

    // Three waiters, asking in a known order; each records when it got in.
    std::atomic<bool> never{false};
    std::mutex mutex;
    std::vector<int> order;
    std::vector<std::jthread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&, i] {
            std::optional<RenderSlots::Slot> slot = slots.acquire(never);
            ASSERT_TRUE(slot);
            {
                std::lock_guard lock(mutex);
                order.push_back(i);
            }
            std::this_thread::sleep_for(20ms);
        });
        std::this_thread::sleep_for(50ms);  // the next waiter asks after this one
    }
    EXPECT_FALSE(slots.tryAcquire()) << "a newcomer may not pass the waiters";
    // With one slot still held they get in one after another.
    first.reset();
    waiters.clear();
    second.reset();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(slots.inUse(), 0);
}

TEST(RenderSlots, ACancelledWaiterLeavesAtOnceAndDoesNotBlockThoseBehind) {
    RenderSlots slots(1);
    std::optional<RenderSlots::Slot> held = slots.tryAcquire();
    std::atomic<bool> cancelFront{false}, cancelMiddle{false}, never{false};
    auto front = std::async(std::launch::async, [&] { return slots.acquire(cancelFront).has_value(); });
    std::this_thread::sleep_for(50ms);
    auto middle = std::async(std::launch::async, [&] { return slots.acquire(cancelMiddle).has_value(); });
    std::this_thread::sleep_for(50ms);
    auto back = std::async(std::launch::async, [&] { return slots.acquire(never).has_value(); });
    std::this_thread::sleep_for(50ms);

    // The middle one gives up while the front one is still waiting: it
    // leaves within a tenth of a second or so, not when its turn comes.
    cancelMiddle = true;
    ASSERT_EQ(middle.wait_for(1s), std::future_status::ready);
    EXPECT_FALSE(middle.get());
    cancelFront = true;
    ASSERT_EQ(front.wait_for(1s), std::future_status::ready);
    EXPECT_FALSE(front.get());

    held.reset();
    ASSERT_EQ(back.wait_for(2s), std::future_status::ready) << "the turns given up were passed over";
    EXPECT_TRUE(back.get());
    EXPECT_EQ(slots.inUse(), 0);
}

TEST(RenderSlots, RaisingTheLimitLetsAWaiterIn) {
    RenderSlots slots(1);
    std::optional<RenderSlots::Slot> held = slots.tryAcquire();
    std::atomic<bool> never{false};
    auto waiter = std::async(std::launch::async, [&] { return slots.acquire(never).has_value(); });
    EXPECT_EQ(waiter.wait_for(200ms), std::future_status::timeout);
    slots.setLimit(2);
    ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
    slots.setLimit(0);
    EXPECT_EQ(slots.limit(), 1) << "the limit is at least one";
}

}  // namespace
}  // namespace tintreel
