// Inputs that are cut short, are not files, or are too big to hold, given to
// the real program: each fails or is refused with a line of ours, ends in
// time, and leaves nothing beside OUTPUT or in the temporary folder.
//
// The checks on OUTPUT, run as the real program: a run that would replace
// INPUT, replace an existing file without -y, or write into a folder that is
// missing or read-only ends with status 2 and one line, before anything is
// read or rendered, and leaves every file as it was. A file that appears at
// OUTPUT while a render runs is not replaced either, and what killed runs of
// this machine left behind goes with the next run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <tuple>

#include "cli/CliProgram.h"
#include "platform/system/ProcessTag.h"
#include "support/Clips.h"
#include "support/GoneProcess.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

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
        expectRefused({"-o", q(output), q(input_)}, "this run reads");
        expectRefused({"-y", "-o", q(output), q(input_)}, "this run reads");
        expectRefused({"--passes", "each", "--overwrite", "-o", q(output), q(input_)}, "this run reads");
        expectRefused({"--still", "0", "-y", "-o", q(output), q(input_)}, "this run reads");
    }
    // A still of a picture, and the logo: both are read too.
    expectRefused({"--still", "-y", "-o", q(picture_), q(picture_)}, "this run reads");
    expectRefused({"-y", "--logo", q(picture_), "-o", q(picture_), q(input_)}, "this run reads");
}

TEST_F(OutputSafety, ExistingOutputIsKeptUnlessOverwriteIsGiven) {
    const fs::path movie = dir_ / "out.mov";
    const fs::path still = dir_ / "out.png";
    std::ofstream(movie) << "an earlier result";
    std::ofstream(still) << "an earlier still";
    expectRefused(sepia_ + QStringList{"-o", q(movie), q(input_)}, "-y");
    expectRefused(sepia_ + QStringList{"--passes", "each", "-o", q(movie), q(input_)}, "-y");
    expectRefused({"--still", "0", "-o", q(still), q(input_)}, "-y");
    expectRefused({"--still", "-o", q(still), q(picture_)}, "-y");
    expectRefused({"-o", q(dir_), q(input_)}, "is a folder");
    expectRefused({"-y", "-o", q(dir_), q(input_)}, "is a folder");

    for (const QStringList& passes : {QStringList{"--passes", "one"}, QStringList{"--passes", "each"}}) {
        const test::CliRun replaced =
            test::runCli(passes + sepia_ + QStringList{"-y", "-o", q(movie), q(input_)}, dir_);
        ASSERT_EQ(replaced.status, 0) << replaced.errors;
        test::expectSameMovie(input_, movie);
    }
    const test::CliRun frame = test::runCli({"--still", "0", "--overwrite", "-o", q(still), q(input_)}, dir_);
    ASSERT_EQ(frame.status, 0) << frame.errors;
    EXPECT_EQ(test::probeStream(still, "v:0")->codec, "png");
    const test::CliRun picture = test::runCli({"--still", "-y", "-o", q(still), q(picture_)}, dir_);
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
            expectRefused(mode + QStringList{"-o", q(folder) + "/out" + extension, q(input_)}, why);
        }
        expectRefused({"--still", "-o", q(folder / "out.png"), q(picture_)}, why);
    }
    fs::permissions(locked, fs::perms::owner_all, fs::perm_options::replace);
}

// A refusal must come before anything is read: long before this.
constexpr int kRefusalLimitMs = 30000;

// Four seconds of 160x120 with a tone.
fs::path wholeClip(const std::string& extension) {
    return test::makeClip(
        "-f lavfi -i testsrc2=s=160x120:r=10:d=4 -f lavfi -i sine=d=4 -pix_fmt yuv420p "
        "-c:v libx264 -c:a aac",
        extension);
}

void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

fs::path firstHalfOf(const fs::path& movie, const fs::path& target) {
    const std::string bytes = test::fileContents(movie);
    // Off the 188-byte packet grid of a transport stream, as nearly every cut is.
    writeBytes(target, bytes.substr(0, bytes.size() / 2 + 94));
    return target;
}

class InputSafety : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::testDirectory("cli-input-safety-");
        runtime_ = dir_ / "runtime";
        out_ = dir_ / "out";
        fs::create_directories(runtime_);
        fs::create_directories(out_);
    }

    test::CliRun run(const QStringList& arguments, int limitMs = 120000) {
        return test::runCli(arguments, runtime_, -1, SIGINT, limitMs);
    }

    // Status 2, the reason in one line of ours, and nothing written.
    void expectRefused(const test::CliRun& refused, const std::string& why, const std::string& what) {
        EXPECT_EQ(refused.status, 2) << what << ": " << refused.errors;
        EXPECT_NE(refused.errors.find(why), std::string::npos) << what << ": " << refused.errors;
        expectNothingLeft(what);
    }

    // No file in OUTPUT's folder and nothing in the temporary folder.
    void expectNothingLeft(const std::string& what) {
        EXPECT_TRUE(fs::is_empty(out_)) << what << ": " << fs::directory_iterator(out_)->path();
        EXPECT_TRUE(fs::is_empty(runtime_)) << what;
    }

    fs::path dir_, runtime_, out_;
};

TEST_F(InputSafety, AMovieCutShortFailsItsJobAndIsNeverKept) {
    for (const std::string extension : {"mkv", "ts"}) {
        const fs::path whole = wholeClip(extension);
        ASSERT_FALSE(whole.empty());
        const fs::path cut = firstHalfOf(whole, dir_ / ("cut." + extension));
        // A batch keeps the input's container where it can write it (.mp4 for a
        // transport stream), so without effects the Matroska file would be copied as it is.
        const std::string written = extension == "ts" ? "mp4" : extension;
        const test::CliRun single = run({"-o", q(out_ / "cut.mp4"), q(cut)});
        EXPECT_EQ(single.status, 1) << extension << ": " << single.errors;
        expectNothingLeft(extension);

        // In a batch beside the whole movie, and again when resumed: the cut one fails each time.
        const fs::path copy = dir_ / ("whole." + extension);
        fs::copy_file(whole, copy, fs::copy_options::overwrite_existing);
        for (const QString& resume : {QString("-y"), QString("--skip-existing")}) {
            const test::CliRun batch = run({resume, "-o", q(out_), q(cut), q(copy)});
            EXPECT_EQ(batch.status, 1) << extension << ": " << batch.errors;
            EXPECT_NE(batch.errors.find("1 failed"), std::string::npos) << extension << ": " << batch.errors;
            EXPECT_FALSE(fs::exists(out_ / ("cut." + written))) << extension;
            EXPECT_TRUE(fs::exists(out_ / ("whole." + written))) << extension;
        }
        fs::remove(out_ / ("whole." + written));
    }
}

// Files too big to hold, devices and pipes: refused before anything is read,
// and a pipe is never waited on.
TEST_F(InputSafety, FilesTooBigPipesAndDevicesAreRefusedBeforeTheyAreRead) {
    const fs::path clip = wholeClip("mkv");
    const fs::path bigSettings = dir_ / "big.tintreel";
    writeBytes(bigSettings, std::string((1 << 20) + 1, '0'));
    const fs::path bigList = dir_ / "big.txt";
    writeBytes(bigList, q(clip).toStdString() + "\n");
    fs::resize_file(bigList, (16 << 20) + 1);
    // 10001 x 10000 passes the side limit and fails the pixel limit; 16385 x 8 the other way round.
    const fs::path manyPixels = dir_ / "many-pixels.png";
    const fs::path wide = dir_ / "wide.png";
    for (const auto& [file, width, height] :
         {std::tuple{manyPixels, 10001, 10000}, std::tuple{wide, 16385, 8}}) {
        QImage picture(width, height, QImage::Format_Mono);
        picture.fill(1);
        ASSERT_TRUE(picture.save(q(file), "PNG"));
    }
    for (const std::string name : {"pipe.mkv", "pipe.png", "pipe.tintreel", "pipe.txt"})
        ASSERT_EQ(::mkfifo((dir_ / name).c_str(), 0600), 0) << name;
    const QString movie = q(out_ / "x.mkv");
    const QString pipe = "a pipe, not a regular file";
    const std::vector<std::tuple<std::string, QStringList, QString>> cases{
        {"settings above 1 MiB", {"-s", q(bigSettings), "-o", movie, q(clip)}, "more than the 1 MiB allowed"},
        {"settings from /dev/zero",
         {"-s", "/dev/zero", "-o", movie, q(clip)},
         "a device, not a regular file"},
        {"list from /dev/urandom", {"--list", "/dev/urandom", "-o", movie}, "a device, not a regular file"},
        {"list above 16 MiB", {"--list", q(bigList), "-o", movie}, "more than the 16 MiB allowed"},
        {"logo of 100 megapixels",
         {"--logo", q(manyPixels), "-o", movie, q(clip)},
         "larger than the 100 megapixels"},
        {"logo 16385 wide", {"--logo", q(wide), "-o", movie, q(clip)}, "16385x8, larger than"},
        {"still of a huge picture",
         {"--still", "-o", q(out_ / "x.png"), q(manyPixels)},
         "larger than the 100 megapixels"},
        {"INPUT pipe", {"-o", movie, q(dir_ / "pipe.mkv")}, pipe},
        {"still INPUT pipe", {"--still", "-o", q(out_ / "x.png"), q(dir_ / "pipe.png")}, pipe},
        {"logo pipe", {"--logo", q(dir_ / "pipe.png"), "-o", movie, q(clip)}, pipe},
        {"settings pipe", {"-s", q(dir_ / "pipe.tintreel"), "-o", movie, q(clip)}, pipe},
        {"list pipe", {"--list", q(dir_ / "pipe.txt"), "-o", q(out_)}, pipe},
        {"join slice pipe", {"--join", "--audio-from", q(clip), "-o", movie, q(dir_ / "pipe.mkv")}, pipe},
    };
    for (const auto& [what, arguments, why] : cases)
        expectRefused(run(arguments, kRefusalLimitMs), why.toStdString(), what);
}

TEST_F(InputSafety, AFrameAbove8192PixelsFailsOnlyItsOwnJob) {
    const fs::path wide = test::makeClip(
        "-f lavfi -i color=c=teal:s=8200x16:r=10 -frames:v 2 -pix_fmt yuv420p -c:v libx264 -preset ultrafast",
        "mp4");
    const fs::path good = wholeClip("mp4");
    ASSERT_FALSE(wide.empty());
    fs::copy_file(wide, dir_ / "wide.mp4");
    fs::copy_file(good, dir_ / "good.mp4");
    const test::CliRun batch = run({"-j", "2", "-o", q(out_), q(dir_ / "wide.mp4"), q(dir_ / "good.mp4")});
    EXPECT_EQ(batch.status, 1) << batch.errors;
    EXPECT_NE(batch.errors.find("8200x16, larger than the 8192 pixels a side"), std::string::npos)
        << batch.errors;
    EXPECT_NE(batch.errors.find("1 done, 0 skipped, 1 failed"), std::string::npos) << batch.errors;
    EXPECT_TRUE(fs::exists(out_ / "good.mp4"));
    EXPECT_FALSE(fs::exists(out_ / "wide.mp4"));
}

// A name can hold any byte but "/": its control characters are spelt out,
// never sent to the terminal (where an escape could clear or recolour it).
TEST_F(InputSafety, NamesPrintedEscapeControlCharacters) {
    const fs::path odd = dir_ / "odd\x1b[2J\nname.mkv";
    writeBytes(odd, "not a movie");
    writeBytes(dir_ / "not-a-movie.mkv", "not a movie either");
    const test::CliRun refused = run({"-o", q(out_ / "x.mp4"), q(odd.string() + ".missing.mkv")});
    EXPECT_EQ(refused.status, 2) << refused.errors;
    const test::CliRun batch = run({"-o", q(out_), q(odd), q(dir_ / "not-a-movie.mkv")});
    EXPECT_EQ(batch.status, 1) << batch.errors;
    for (const std::string& errors : {refused.errors, batch.errors}) {
        EXPECT_EQ(errors.find('\x1b'), std::string::npos) << errors;
        EXPECT_NE(errors.find("odd\\x1b[2J\\nname.mkv"), std::string::npos) << errors;
    }
}

// A run interrupted, cut off by a closed terminal or reader, or told to stop
// cleans up: status 130, nothing beside OUTPUT, nothing in the temporary folder.
TEST_F(InputSafety, InterruptHangUpPipeAndTerminateCancelAndCleanUp) {
    const fs::path clip = test::makeClip(
        "-f lavfi -i testsrc2=s=640x360:r=25:d=8 -f lavfi -i sine=d=8 -pix_fmt yuv420p -c:v libx264 -c:a aac",
        "mov");
    const QStringList heavy{"--passes", "each", "--set", "checkSepia=1", "--set", "checkOilPainting=1"};
    // Ctrl-C is tried in one pass and on an animated picture, the others between passes.
    for (const auto& [signal, passes, output] :
         {std::tuple{SIGINT, "one", "x.mov"}, std::tuple{SIGINT, "one", "x.gif"},
          std::tuple{SIGTERM, "each", "x.mov"}, std::tuple{SIGHUP, "each", "x.mov"},
          std::tuple{SIGPIPE, "each", "x.mov"}}) {
        const std::string what = std::string(strsignal(signal)) + " " + output;
        const test::CliRun cancelled = test::runCli(
            heavy + QStringList{"--passes", passes, "-o", q(out_ / output), q(clip)}, runtime_, 300, signal);
        EXPECT_EQ(cancelled.status, 130) << what << ": " << cancelled.errors;
        expectNothingLeft(what);
    }
    // The reader of standard error goes away after the first line: the next line raises SIGPIPE.
    const QStringList script{
        "-c", "\"$TINTREEL_RENDER\" \"$@\" 2>&1 | head -c 1 >/dev/null; echo \"${PIPESTATUS[0]}\"", "render"};
    const test::CliRun headed =
        test::runTool("bash", script + heavy + QStringList{"-o", q(out_ / "x.mov"), q(clip)}, runtime_, dir_);
    EXPECT_EQ(headed.output, "130\n") << headed.errors;
    expectNothingLeft("| head");
}

}  // namespace
}  // namespace tintreel
