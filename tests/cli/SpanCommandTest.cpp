// --from and --to run as the real program: a span past a movie's end is
// clamped, a movie shorter than --from fails with a line and leaves nothing,
// in a batch each job keeps its own end, and --cut keyframes copies from the
// key frame before the in point, saying so.
#include <gtest/gtest.h>

#include "cli/CliProgram.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

// `seconds` of 160x90 at 10 fps with a key frame every 2 s, and a tone.
fs::path clipOf(int seconds) {
    const std::string d = std::to_string(seconds);
    return test::makeClip("-f lavfi -i testsrc2=s=160x90:r=10:d=" + d + " -f lavfi -i sine=r=48000:d=" + d +
                              " -pix_fmt yuv420p -c:v libx264 -g 20 -sc_threshold 0 -c:a aac",
                          "mp4");
}

double videoSeconds(const fs::path& movie) {
    const std::optional<test::StreamFacts> video = test::probeStream(movie, "v:0");
    return video ? video->frames / 10.0 : -1.0;
}

TEST(SpanCommand, OutPastTheEndIsTheEndAndAMovieShorterThanTheInPointFails) {
    const fs::path dir = test::testDirectory("cli-span-");
    const fs::path shortClip = dir / "short.mp4", longClip = dir / "long.mp4";
    fs::copy_file(clipOf(2), shortClip);
    fs::copy_file(clipOf(4), longClip);

    const test::CliRun clamped =
        test::runCli({"--from", "1", "--to", "9", "-o", q(dir / "a.mp4"), q(shortClip)}, dir);
    ASSERT_EQ(clamped.status, 0) << clamped.errors;
    EXPECT_NEAR(videoSeconds(dir / "a.mp4"), 1.0, 1e-9);

    const test::CliRun late = test::runCli({"--from", "3", "-o", q(dir / "b.mp4"), q(shortClip)}, dir);
    EXPECT_EQ(late.status, 2);
    EXPECT_NE(late.errors.find("past the end of the movie"), std::string::npos) << late.errors;
    EXPECT_FALSE(fs::exists(dir / "b.mp4"));

    // A batch: the short movie fails, the long one is cut, the run says one failed.
    fs::create_directory(dir / "out");
    const test::CliRun batch =
        test::runCli({"--from", "2.5", "-o", q(dir / "out"), q(shortClip), q(longClip)}, dir);
    EXPECT_EQ(batch.status, 1) << batch.errors;
    EXPECT_FALSE(fs::exists(dir / "out" / "short.mp4"));
    EXPECT_NEAR(videoSeconds(dir / "out" / "long.mp4"), 1.5, 1e-9);
}

TEST(SpanCommand, KeyFrameCutCopiesFromTheKeyFrameBeforeTheInPoint) {
    const fs::path dir = test::testDirectory("cli-span-keys-");
    const fs::path clip = dir / "clip.mp4";
    fs::copy_file(clipOf(4), clip);
    const test::CliRun run = test::runCli(
        {"--from", "2.5", "--to", "3.5", "--cut", "keyframes", "-o", q(dir / "c.mp4"), q(clip)}, dir);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.output.find("Cut at key frames"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("0.50 s before the in point"), std::string::npos) << run.output;
    // From the key frame at 2 s up to 3.5 s, copied: the packets are the source's, not encoded again.
    EXPECT_NEAR(videoSeconds(dir / "c.mp4"), 1.5, 1e-9);
    const std::optional<test::StreamFacts> audio = test::probeStream(dir / "c.mp4", "a:0");
    ASSERT_TRUE(audio);
    EXPECT_NEAR(audio->duration, 1.5, 0.05);
}

}  // namespace
}  // namespace tintreel
