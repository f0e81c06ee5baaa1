// The checks on OUTPUT, run as the real program: a run that would replace
// INPUT, replace an existing file without -y, or write into a folder that is
// missing or read-only ends with status 2 and one line, before anything is
// read or rendered, and leaves every file as it was. A file that appears at
// OUTPUT while a render runs is not replaced either, and what killed runs of
// this machine left behind goes with the next run.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <fstream>
#include <map>

#include "cli/CliProgram.h"
#include "platform/system/ProcessTag.h"
#include "support/Clips.h"
#include "support/GoneProcess.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

// Every file under `dir` with its contents: what a refused run must leave alone.
std::map<fs::path, std::string> snapshot(const fs::path& dir) {
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        files[entry.path()] =
            entry.is_regular_file() ? test::fileContents(entry.path()) : std::string("<not a file>");
    return files;
}

class OutputSafety : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::testDirectory("cli-output-");
        input_ = dir_ / "clip.mov";
        fs::copy_file(
            test::makeClip("-f lavfi -i testsrc2=s=160x90:r=30:d=1 -pix_fmt yuv420p -c:v libx264", "mov"),
            input_);
        picture_ = dir_ / "photo.png";
        ASSERT_TRUE(test::writePicture(picture_));
    }

    // Runs the program and expects a refusal that changed nothing and rendered nothing.
    void expectRefused(const QStringList& arguments, const std::string& why) {
        const auto before = snapshot(dir_);
        const test::CliRun run = test::runCli(arguments, dir_);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString() << "\n" << run.errors;
        EXPECT_EQ(run.errors.rfind("tintreel-render: ", 0), 0u) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1)
            << "one line, no progress: " << run.errors;
        EXPECT_NE(run.errors.find(why), std::string::npos) << run.errors;
        EXPECT_EQ(snapshot(dir_), before) << "a refused run wrote or changed a file";
    }

    fs::path dir_;
    fs::path input_;
    fs::path picture_;
    const QStringList sepia_{"--set", "checkSepia=1"};
};

TEST_F(OutputSafety, OutputThatIsAFileTheRunReadsIsRefusedEvenWithOverwrite) {
    fs::create_directory(dir_ / "sub");
    fs::create_symlink(input_, dir_ / "link.mov");
    fs::create_hard_link(input_, dir_ / "hard.mov");
    for (const fs::path& output :
         {input_, dir_ / "sub" / ".." / "clip.mov", dir_ / "link.mov", dir_ / "hard.mov"}) {
        expectRefused({"-o", test::q(output), test::q(input_)}, "this run reads");
        expectRefused({"-y", "-o", test::q(output), test::q(input_)}, "this run reads");
        expectRefused({"--passes", "each", "--overwrite", "-o", test::q(output), test::q(input_)},
                      "this run reads");
        expectRefused({"--still", "0", "-y", "-o", test::q(output), test::q(input_)}, "this run reads");
    }
    // A still of a picture, and the logo: both are read too.
    expectRefused({"--still", "-y", "-o", test::q(picture_), test::q(picture_)}, "this run reads");
    expectRefused({"-y", "--logo", test::q(picture_), "-o", test::q(picture_), test::q(input_)},
                  "this run reads");
}

TEST_F(OutputSafety, ExistingOutputIsKeptUnlessOverwriteIsGiven) {
    const fs::path movie = dir_ / "out.mov";
    const fs::path still = dir_ / "out.png";
    std::ofstream(movie) << "an earlier result";
    std::ofstream(still) << "an earlier still";
    expectRefused(sepia_ + QStringList{"-o", test::q(movie), test::q(input_)}, "-y");
    expectRefused(sepia_ + QStringList{"--passes", "each", "-o", test::q(movie), test::q(input_)}, "-y");
    expectRefused({"--still", "0", "-o", test::q(still), test::q(input_)}, "-y");
    expectRefused({"--still", "-o", test::q(still), test::q(picture_)}, "-y");
    expectRefused({"-o", test::q(dir_), test::q(input_)}, "is a folder");
    expectRefused({"-y", "-o", test::q(dir_), test::q(input_)}, "is a folder");

    for (const QStringList& passes : {QStringList{"--passes", "one"}, QStringList{"--passes", "each"}}) {
        const test::CliRun replaced =
            test::runCli(passes + sepia_ + QStringList{"-y", "-o", test::q(movie), test::q(input_)}, dir_);
        ASSERT_EQ(replaced.status, 0) << replaced.errors;
        test::expectSameMovie(input_, movie);
    }
    const test::CliRun frame =
        test::runCli({"--still", "0", "--overwrite", "-o", test::q(still), test::q(input_)}, dir_);
    ASSERT_EQ(frame.status, 0) << frame.errors;
    EXPECT_EQ(test::probeStream(still, "v:0")->codec, "png");
    const test::CliRun picture =
        test::runCli({"--still", "-y", "-o", test::q(still), test::q(picture_)}, dir_);
    ASSERT_EQ(picture.status, 0) << picture.errors;
    EXPECT_EQ(test::probeStream(still, "v:0")->width, 64);
}

// Each run is stopped (SIGSTOP) once its partial file is there, so that the
// file written at OUTPUT, or the other run, surely comes while it renders.
constexpr const char* kRunsWhileAnotherWrites = R"(
r=$TINTREEL_RENDER
start_stopped() {  # NAME OUTPUT ARGUMENTS...: runs in the background until its partial file is there
    name=$1 out=$2; shift 2
    "$r" --set checkSepia=1 --set checkVignette=1 "$@" 2>"$name.err" & pid=$!
    until compgen -G "$out.*-$pid-*.partial*" >/dev/null || ! kill -0 $pid 2>/dev/null; do sleep 0.05; done
    kill -STOP $pid
}
start_stopped late late.mp4 -o late.mp4 clip.mp4
echo theirs > late.mp4; kill -CONT $pid; wait $pid; echo "late $?"
start_stopped race1 race.mp4 -o race.mp4 clip.mp4; first=$pid
start_stopped race2 race.mp4 -o race.mp4 clip.mp4; second=$pid
kill -CONT $first $second; wait $first; echo "race $?"; wait $second; echo "race $?"
start_stopped batch batch/clip.mp4 --skip-existing -j 2 -o batch in
echo theirs > batch/clip.mp4; kill -CONT $pid; wait $pid; echo "batch $?"
)";

TEST_F(OutputSafety, AFileThatAppearsWhileRenderingIsKeptAndLeftoversOfKilledRunsGo) {
    const fs::path clip =
        test::makeClip("-f lavfi -i testsrc2=s=320x180:r=30:d=3 -pix_fmt yuv420p -c:v libx264", "mp4");
    fs::create_directories(dir_ / "in");
    fs::create_directories(dir_ / "batch");
    fs::copy_file(clip, dir_ / "clip.mp4");
    fs::copy_file(clip, dir_ / "in" / "clip.mp4");
    // Left by killed runs: of this machine (removed), and of another one (kept).
    const std::string gone = std::to_string(test::goneProcessId());
    const std::string killed = "late.mp4." + hostTag() + "-" + gone + "-0.partial.mp4";
    const std::string elsewhere = "late.mp4." + hostTag() + "x-" + gone + "-0.partial.mp4";
    std::ofstream(dir_ / killed) << "half";
    std::ofstream(dir_ / elsewhere) << "half";
    const fs::path killedFolder = dir_ / "runtime" / ("tintreel-" + hostTag() + "-" + gone + "-a1B2c3");
    fs::create_directories(killedFolder / "pass");

    const test::CliRun run = test::runTool("bash", {"-c", kRunsWhileAnotherWrites}, dir_ / "runtime", dir_);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.output.find("late 1\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("batch 1\n"), std::string::npos) << run.output;
    // Two race lines: exactly one of the two runs writing one OUTPUT wins.
    EXPECT_NE(run.output.find("race 0\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("race 1\n"), std::string::npos) << run.output;

    EXPECT_EQ(test::fileContents(dir_ / "late.mp4"), "theirs\n");
    EXPECT_EQ(test::fileContents(dir_ / "batch" / "clip.mp4"), "theirs\n");
    EXPECT_TRUE(test::probeStream(dir_ / "race.mp4", "v:0"));
    const std::string lost = test::fileContents(dir_ / "late.err");
    EXPECT_NE(
        lost.find("\ntintreel-render: OUTPUT \"late.mp4\" appeared while this run rendered; it is kept"),
        std::string::npos)
        << lost;
    EXPECT_NE(test::fileContents(dir_ / "batch.err").find("0 done, 0 skipped, 1 failed"), std::string::npos);

    std::vector<std::string> partials;
    for (const auto& entry : fs::recursive_directory_iterator(dir_))
        if (entry.path().filename().string().find(".partial") != std::string::npos)
            partials.push_back(entry.path().filename().string());
    EXPECT_EQ(partials, std::vector<std::string>{elsewhere})
        << "the losers' and our killed run's partials go";
    EXPECT_FALSE(fs::exists(killedFolder)) << "a killed run's temporary folder goes";
}

TEST_F(OutputSafety, MissingOrReadOnlyFolderIsRefusedBeforeRendering) {
    const fs::path locked = dir_ / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    // Permissions do not bind a privileged user: the read-only cases prove nothing then.
    const bool binding = ::access(locked.c_str(), W_OK) != 0;
    for (const auto& [folder, why] :
         {std::pair{dir_ / "no" / "such", "no folder"}, std::pair{locked, "not writable"}}) {
        if (folder == locked && !binding) continue;
        for (const QStringList& mode :
             {sepia_, sepia_ + QStringList{"--passes", "each"}, QStringList{"--still", "0"}}) {
            const QString extension = mode.contains("--still") ? ".png" : ".mov";
            expectRefused(mode + QStringList{"-o", test::q(folder) + "/out" + extension, test::q(input_)},
                          why);
        }
        expectRefused({"--still", "-o", test::q(folder / "out.png"), test::q(picture_)}, why);
    }
    fs::permissions(locked, fs::perms::owner_all, fs::perm_options::replace);
}

}  // namespace
}  // namespace tintreel
