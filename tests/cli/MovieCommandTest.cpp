// The movie modes of tintreel-render, run as the real program on generated
// clips: the rendered OUTPUT, progress on standard error, the still of a
// movie frame, and how often INPUT is opened.
#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "cli/CliProgram.h"
#include "platform/filters/Picture.h"
#include "platform/media/MovieSource.h"
#include "render/RenderJob.h"
#include "settings/ControlCatalogue.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::q;
using test::runCli;

fs::path clip(const std::string& extension, double seconds) {
    const std::string d = std::to_string(seconds);
    return test::makeClip("-f lavfi -i testsrc2=s=320x180:r=30:d=" + d + " -f lavfi -i sine=r=8000:d=" + d +
                              " -ac 1 -pix_fmt yuv420p -c:v libx264 -c:a aac",
                          extension);
}

TEST(MovieCommand, RendersToOutputWithProgressOnStandardError) {
    const fs::path dir = test::scratchDirectory("cli-movie");
    const fs::path input = clip("3g2", 1.5);
    const std::vector<std::tuple<QString, std::string, std::vector<std::string>, std::string>> modes{
        {"one", "out.3g2", {"Rendering: Brightness, Sepia... "}, "out.3g2\n"},
        {"each",
         "each.3g2",
         {"Adjusting Brightness... ", "Applying Sepia Effect... "},
         "each.3g2\nout.3g2\n"}};
    for (const auto& [passes, output, progress, left] : modes) {
        SCOPED_TRACE(passes.toStdString());
        const CliRun run = runCli({"-o", q(dir / output), "--passes", passes, "--set", "sliderBrightness=0.1",
                                   "--set", "checkSepia=1", q(input)},
                                  dir);
        ASSERT_EQ(run.status, 0) << run.errors;
        test::expectSameMovie(input, dir / output);
        for (const std::string& line : progress)
            EXPECT_NE(run.errors.find(line), std::string::npos) << run.errors;
        // Nothing but OUTPUT is left: the private temporary directory went with the process.
        EXPECT_EQ(test::runCommand("ls -A " + dir.string()), left);
    }
}

TEST(MovieCommand, StillOfAMovieFrameIsUpright) {
    const fs::path dir = test::scratchDirectory("cli-still");
    const fs::path portrait = test::withRotationTag(clip("mov", 1), 270);
    const CliRun run =
        runCli({"--still", "0.5", "-o", q(dir / "frame.png"), "--set", "checkSepia=1", q(portrait)}, dir);
    ASSERT_EQ(run.status, 0) << run.errors;
    const auto frame = loadPicture((dir / "frame.png").string());
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width(), 180);
    EXPECT_EQ(frame->height(), 320);
}

// A one-pass render of one INPUT opens it once: the checks, the watermark's
// timing and the pass read one probe. Counted in the process through the
// media layer, and, where strace can watch the real program, as every
// open or openat call naming INPUT, failed ones included.
TEST(MovieCommand, AOnePassRenderOpensItsInputOnce) {
    const fs::path dir = test::scratchDirectory("cli-opens");
    const fs::path input = clip("mov", 0.5);
    EffectSettings settings = defaultEffectSettings();
    settings.checkSepia = 1;
    settings.checkTextWatermark = 1;
    const RenderJob job{{input, dir / "out.mov"}, ExistingOutput::Fail};
    const long long before = inputOpenCount(input);
    JobWatcher watcher;
    const std::atomic<bool> cancel{false};
    ASSERT_EQ(runRenderJob(job, {settings, Image(), RenderSettings{}, PassMode::One}, cancel, watcher).state,
              JobState::Done);
    EXPECT_EQ(inputOpenCount(input) - before, 1);
    EXPECT_TRUE(fs::exists(job.files.output));

    if (!test::runCommand("command -v strace")) GTEST_SKIP() << "no strace to watch the program";
    const fs::path trace = dir / "trace.txt";
    const CliRun traced = test::runTool(
        "strace",
        {"-f", "-e", "trace=openat,open", "-o", q(trace), TINTREEL_RENDER_PATH, "-o", q(dir / "traced.mov"),
         "--set", "checkSepia=1", "--set", "checkTextWatermark=1", q(input)},
        dir, dir);
    if (!fs::exists(dir / "traced.mov")) GTEST_SKIP() << "strace cannot trace here: " << traced.errors;
    std::ifstream lines(trace);
    int naming = 0;
    for (std::string line; std::getline(lines, line);)
        naming += line.find(input.string()) != std::string::npos;
    EXPECT_EQ(naming, 1);
}

}  // namespace
}  // namespace tintreel
