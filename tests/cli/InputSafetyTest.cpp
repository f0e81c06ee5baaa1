// Inputs that are cut short, are not files, or are too big to hold, given to
// the real program: each fails or is refused with a line of ours, ends in
// time, and leaves nothing beside OUTPUT or in the temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <cstring>
#include <fstream>
#include <tuple>

#include "cli/CliProgram.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

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

TEST_F(InputSafety, FilesTooBigToHoldAreRefusedBeforeTheyAreRead) {
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
    const std::vector<std::tuple<std::string, QStringList, std::string>> cases{
        {"settings above 1 MiB", {"-s", q(bigSettings)}, "more than the 1 MiB allowed"},
        {"settings from /dev/zero", {"-s", "/dev/zero"}, "a device, not a regular file"},
        {"list from /dev/urandom", {"--list", "/dev/urandom"}, "a device, not a regular file"},
        {"list above 16 MiB", {"--list", q(bigList)}, "more than the 16 MiB allowed"},
        {"logo of 100 megapixels", {"--logo", q(manyPixels)}, "larger than the 100 megapixels"},
        {"logo 16385 wide", {"--logo", q(wide)}, "16385x8, larger than"},
    };
    for (const auto& [what, options, why] : cases) {
        const QStringList input = options.contains("--list") ? QStringList{} : QStringList{q(clip)};
        expectRefused(run(options + QStringList{"-o", q(out_ / "x.mkv")} + input, kRefusalLimitMs), why,
                      what);
    }
    expectRefused(run({"--still", "-o", q(out_ / "x.png"), q(manyPixels)}, kRefusalLimitMs),
                  "larger than the 100 megapixels", "still of a huge picture");
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

TEST_F(InputSafety, PipesAndDevicesAreRefusedInsteadOfWaitedOn) {
    const fs::path clip = wholeClip("mkv");
    for (const std::string name : {"pipe.mkv", "pipe.png", "pipe.tintreel", "pipe.txt"})
        ASSERT_EQ(::mkfifo((dir_ / name).c_str(), 0600), 0) << name;
    const std::vector<std::tuple<std::string, QStringList>> cases{
        {"INPUT", {"-o", q(out_ / "x.mkv"), q(dir_ / "pipe.mkv")}},
        {"still INPUT", {"--still", "-o", q(out_ / "x.png"), q(dir_ / "pipe.png")}},
        {"logo", {"--logo", q(dir_ / "pipe.png"), "-o", q(out_ / "x.mkv"), q(clip)}},
        {"settings", {"-s", q(dir_ / "pipe.tintreel"), "-o", q(out_ / "x.mkv"), q(clip)}},
        {"list", {"--list", q(dir_ / "pipe.txt"), "-o", q(out_)}},
        {"join slice", {"--join", "--audio-from", q(clip), "-o", q(out_ / "x.mkv"), q(dir_ / "pipe.mkv")}},
    };
    for (const auto& [what, arguments] : cases)
        expectRefused(run(arguments, kRefusalLimitMs), "a pipe, not a regular file", what);
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
    // Ctrl-C is tried in one pass, the others between passes.
    for (const auto& [signal, passes] : {std::pair{SIGINT, "one"}, std::pair{SIGTERM, "each"},
                                         std::pair{SIGHUP, "each"}, std::pair{SIGPIPE, "each"}}) {
        const test::CliRun cancelled = test::runCli(
            heavy + QStringList{"--passes", passes, "-o", q(out_ / "x.mov"), q(clip)}, runtime_, 300, signal);
        EXPECT_EQ(cancelled.status, 130) << strsignal(signal) << ": " << cancelled.errors;
        expectNothingLeft(strsignal(signal));
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
