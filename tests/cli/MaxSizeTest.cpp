// --max-size, run as the real program on generated clips: the file ffprobe
// measures is at most the size and at least 85 % of it, or a line says the
// best picture needed less; sound that does not fit is re-encoded smaller;
// what cannot work is refused with status 2 before anything is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "cli/CliProgram.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

constexpr const char* kLeanLine = "the encoder's best picture needs no more";

// Three seconds of 320x240 at 30 fps with a stereo tone in AAC; `picture`
// is the lavfi source of the picture.
fs::path clipOf(const std::string& picture) {
    return test::makeClip("-f lavfi -i " + picture +
                              " -f lavfi -i sine=f=440:r=48000:d=3 -ac 2 -t 3 "
                              "-pix_fmt yuv420p -c:v libx264 -crf 18 -c:a aac -b:a 128k",
                          "mp4");
}

long long sizeOf(const fs::path& file) {
    return static_cast<long long>(fs::file_size(file));
}

TEST(MaxSize, FitsNoisyAndStillClipsIntoTheSize) {
    const fs::path dir = test::scratchDirectory("max-size");
    struct Case {
        std::string name;
        std::string picture;
        std::string size;
        long long bytes;
        bool soundCopied;
    };
    const std::vector<Case> cases{
        {"noisy", "testsrc2=s=320x240:r=30:d=3,noise=alls=80:allf=t", "300k", 300'000, true},
        {"still", "smptebars=s=320x240:r=30:d=3", "300k", 300'000, true},
        {"noisy-small", "testsrc2=s=320x240:r=30:d=3,noise=alls=80:allf=t", "100k", 100'000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path input = clipOf(c.picture);
        ASSERT_FALSE(input.empty());
        const fs::path output = dir / (c.name + ".mp4");
        const test::CliRun run = test::runCli({"-o", q(output), "--max-size", QString::fromStdString(c.size),
                                               "--set", "checkSepia=1", q(input)},
                                              dir);
        ASSERT_EQ(run.status, 0) << run.errors << run.output;
        const long long bytes = sizeOf(output);
        EXPECT_LE(bytes, c.bytes);
        const bool lean = run.output.find(kLeanLine) != std::string::npos;
        // Under 85 % only with the line that says so, and the line only then.
        EXPECT_EQ(lean, bytes < 0.85 * c.bytes) << bytes << " bytes\n" << run.output;
        const auto video = test::probeStream(output, "v:0");
        const auto audio = test::probeStream(output, "a:0");
        ASSERT_TRUE(video && audio);
        EXPECT_EQ(video->frames, 90);
        EXPECT_EQ(audio->codec, "aac");
        const auto audioRate =
            test::probeValues(output, "-select_streams a:0 -show_entries stream=bit_rate", "bit_rate");
        ASSERT_EQ(audioRate.size(), 1u);
        // Copied: the source's 128 kb/s; re-encoded: a rate that leaves the picture room.
        EXPECT_EQ(std::stol(audioRate[0]) > 100'000, c.soundCopied) << audioRate[0];
        EXPECT_EQ(run.output.find("does not fit the file size") == std::string::npos, c.soundCopied);
    }
    // The noisy clip needs every bit: it must come close to the size.
    EXPECT_GE(sizeOf(dir / "noisy.mp4"), 0.85 * 300'000);
}

TEST(MaxSize, RefusesWhatCannotWorkBeforeWriting) {
    const fs::path dir = test::scratchDirectory("max-size-refused");
    const fs::path input = clipOf("testsrc2=s=320x240:r=30:d=3");
    ASSERT_FALSE(input.empty());
    const fs::path output = dir / "out.mp4";
    const std::vector<std::tuple<QStringList, std::string>> cases{
        {{"--max-size", "0"}, "--max-size takes a file size above 0"},
        {{"--max-size", "-5M"}, "--max-size takes a file size above 0"},
        {{"--max-size", "8X"}, "--max-size takes a file size above 0"},
        {{"--max-size", "8M", "--quality", "standard"}, "--max-size sets the quality itself: drop --quality"},
        {{"--quality", "crf=20", "--max-size=8M"}, "--max-size sets the quality itself: drop --quality"},
        {{"--max-size", "15k"}, "15 kB is too small for 3 s of this movie and its sound: it needs at least"},
    };
    for (const auto& [options, why] : cases) {
        SCOPED_TRACE(why);
        const test::CliRun run =
            test::runCli(QStringList{"-o", q(output)} + options + QStringList{q(input)}, dir);
        test::expectRefusal(run, why);
        EXPECT_FALSE(fs::exists(output));
        EXPECT_EQ(test::runCommand("ls -A '" + dir.string() + "'"), "");
    }
}

}  // namespace
}  // namespace tintreel
