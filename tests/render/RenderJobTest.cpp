// One job into one output: a file that appears at the output while the job
// renders is never replaced unless the rule says Replace, of two jobs racing
// for one output exactly one wins, a finished movie that cannot be put in
// place leaves nothing beside the output, and partial files killed runs of
// this machine left beside the output go.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <latch>
#include <mutex>
#include <thread>

#include "platform/system/ProcessTag.h"
#include "render/RenderFixtures.h"
#include "render/RenderJob.h"
#include "settings/ControlCatalogue.h"
#include "support/GoneProcess.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

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

}  // namespace
}  // namespace tintreel
