// Planning a run of many inputs, without rendering: which files a folder
// gives, where each output goes, and the refusals that come before any job.
#include <gtest/gtest.h>

#include <fstream>

#include "cli/BatchPlan.h"
#include "cli/CliProgram.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

CliOptions parsedOptions(const std::vector<std::string>& args) {
    auto result = parseCommandLine(args);
    EXPECT_TRUE(result) << result.error();
    return result ? *result : CliOptions{};
}

// The plan's outputs, relative to `base`, or the refusal.
std::vector<std::string> outputsOf(const std::vector<std::string>& args, const fs::path& base) {
    const CliOptions options = parsedOptions(args);
    const Result<BatchPlan> planned = planRun(options);
    if (!planned) return {"refused: " + planned.error()};
    const BatchPlan& plan = *planned;
    if (!plan.single)
        if (const Status batch = checkBatch(options, plan); !batch) return {"refused: " + batch.error()};
    std::vector<std::string> outputs;
    for (const PlannedJob& job : plan.jobs) outputs.push_back(job.output.lexically_relative(base).string());
    return outputs;
}

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

class BatchPlanning : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::testDirectory("cli-plan-");
        for (const char* name :
             {"in/b.mov", "in/a.MKV", "in/notes.txt", "in/.hidden.mp4", "in/x.mp4.412-0.partial.mp4",
              "in/sub/c.mp4", "in/sub/deeper/d.avi", "in/.cache/e.mp4"})
            touch(dir_ / name);
        fs::create_directories(dir_ / "out");
    }
    std::string p(const char* relative) const { return (dir_ / relative).string(); }
    std::vector<std::string> outputs(const std::vector<std::string>& args) const {
        return outputsOf(args, dir_);
    }

    fs::path dir_;
};

TEST_F(BatchPlanning, FoldersGiveTheirMoviesAndAnOutputFolderKeepsNamesAndContainers) {
    EXPECT_EQ(outputs({"-o", p("out"), p("in")}), (std::vector<std::string>{"out/a.MKV", "out/b.mov"}));
    EXPECT_EQ(outputs({"--recursive", "-o", p("out"), p("in")}),
              (std::vector<std::string>{"out/a.MKV", "out/b.mov", "out/sub/c.mp4", "out/sub/deeper/d.mp4"}));
    // A container that cannot hold the asked codec gives way to MP4.
    EXPECT_EQ(outputs({"--codec", "av1", "-o", p("out"), p("in")}),
              (std::vector<std::string>{"out/a.MKV", "out/b.mp4"}));
    // Without an output folder --recursive writes where the template says.
    EXPECT_EQ(outputs({"--recursive", "-o", "{dir}/{name}_look.mp4", p("in/sub")}),
              (std::vector<std::string>{"in/sub/c_look.mp4", "in/sub/deeper/d_look.mp4"}));
    // An output folder inside the input folder is not searched.
    touch(dir_ / "in/out/old.mp4");
    EXPECT_EQ(outputs({"--recursive", "-o", p("in/out"), p("in/sub")}),
              (std::vector<std::string>{"in/out/c.mp4", "in/out/deeper/d.mp4"}));
    EXPECT_EQ(outputs({"--recursive", "-o", p("in/out"), p("in")}).size(), 4u);
}

TEST_F(BatchPlanning, TemplatesFillEveryField) {
    EXPECT_EQ(outputs({"-o", p("out/{n}-{name}.{ext}.mp4"), p("in/b.mov"), p("in/sub/c.mp4")}),
              (std::vector<std::string>{"out/1-b.mov.mp4", "out/2-c.mp4.mp4"}));
    EXPECT_EQ(outputs({"-o", "{dir}/{name}_look.mp4", p("in/b.mov")}),
              (std::vector<std::string>{"in/b_look.mp4"}));
    auto expanded = expandOutputTemplate("{name}-{n}.mp4", "clip.tar.mov", 7);
    EXPECT_EQ(*expanded, "clip.tar-7.mp4");
    EXPECT_EQ(*expandOutputTemplate("{dir}/x.mp4", "clip.mov", 1), "./x.mp4");
    EXPECT_NE(expandOutputTemplate("{base}.mp4", "a.mov", 1).error().find("no field {base}"),
              std::string::npos);
    EXPECT_NE(expandOutputTemplate("out/{name.mp4", "a.mov", 1).error().find("without its }"),
              std::string::npos);
}

TEST_F(BatchPlanning, CollisionsAndOutputsThatAreInputsAreRefusedBeforeAnything) {
    touch(dir_ / "in/b_look.mov");
    fs::create_directories(dir_ / "b");
    touch(dir_ / "empty/notes.txt");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"-o", p("out/same.mp4"), p("in/b.mov"), p("in/sub/c.mp4")}, "would both write"},
        // The same file twice, once directly and once through its folder.
        {{"-o", p("out"), p("in/b.mov"), p("in")}, "would both write"},
        {{"-y", "-o", "{dir}/{name}.{ext}", p("in/b.mov"), p("in/sub/c.mp4")}, "this run reads"},
        // b's output would be the other input, b_look.mov, even with -y.
        {{"-y", "-o", "{dir}/{name}_look.mov", p("in/b.mov"), p("in/b_look.mov")}, "this run reads"},
        // A template naming a container that cannot hold the asked codec.
        {{"--codec", "h265", "-o", p("out/{name}.webm"), p("in/b.mov"), p("in/sub/c.mp4")}, "cannot write"},
        {{"-o", p("missing/{name}.mp4"), p("in/b.mov"), p("in/sub/c.mp4")}, "no folder"},
        // A folder that is not there, written as one, is named as missing.
        {{"-o", p("missing") + "/", p("in/b.mov"), p("in/sub/c.mp4")}, "no folder"},
        {{"-o", p("{name}"), p("in/b.mov"), p("in/sub/c.mp4")}, "is a folder"},
        {{"-o", p("out"), p("empty")}, "no movies"}};
    for (const auto& [args, why] : cases) {
        const std::vector<std::string> result = outputs(args);
        SCOPED_TRACE(args[1] + " " + args[2]);
        ASSERT_EQ(result.size(), 1u);
        EXPECT_TRUE(result[0].starts_with("refused: ")) << result[0];
        EXPECT_NE(result[0].find(why), std::string::npos) << result[0];
    }
}

TEST_F(BatchPlanning, AListGivesItsLinesAndIndexOneOfThem) {
    std::ofstream(dir_ / "files.txt") << p("in/b.mov") << "\r\n\n" << p("in/sub/c.mp4") << "\n";
    EXPECT_EQ(outputs({"--list", p("files.txt"), "-o", p("out/{n}_{name}.mp4")}),
              (std::vector<std::string>{"out/1_b.mp4", "out/3_c.mp4"}));
    EXPECT_EQ(outputs({"--list", p("files.txt"), "--index", "3", "-o", p("out")}),
              (std::vector<std::string>{"out/c.mp4"}));
    EXPECT_NE(outputs({"--list", p("files.txt"), "--index", "2", "-o", p("out")})[0].find("is empty"),
              std::string::npos);
    EXPECT_NE(outputs({"--list", p("files.txt"), "--index", "4", "-o", p("out")})[0].find("fewer lines"),
              std::string::npos);
    EXPECT_NE(outputs({"--list", p("nothing.txt"), "-o", p("out")})[0].find("cannot read"),
              std::string::npos);
}

}  // namespace
}  // namespace tintreel
