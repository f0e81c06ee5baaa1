// The render worker: which passes run in which order, the three endings,
// and what is left in the temporary directory after each.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "platform/system/Log.h"
#include "render/RenderFixtures.h"
#include "render/RenderWorker.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::entriesOf;
using test::ProgressLog;

struct WorkerRun {
    std::vector<RenderResult> completions;
    std::vector<test::Posted> posts;
    std::vector<std::string> printed;
};

// These tests pin the per-effect mode; the one-pass mode has its own.
WorkerRun render(const EffectSettings& settings, const fs::path& video, const fs::path& dir,
                 std::function<void(const test::Posted&)> onPost = {}, std::atomic<bool>* cancel = nullptr) {
    std::atomic<bool> ownFlag{false};
    ProgressLog log(std::move(onPost));
    WorkerRun run;
    const ScopedLogCapture printed;
    GeneratePreviewVideo({settings, Image(), video, dir, PassMode::Each}, cancel ? *cancel : ownFlag,
                         log.center, [&](const RenderResult& result) { run.completions.push_back(result); });
    run.printed = printed.lines();
    run.posts = log.posts();
    return run;
}

std::vector<int> codesInOrder(const std::vector<test::Posted>& posts) {
    std::vector<int> codes;
    for (const auto& post : posts)
        if (codes.empty() || codes.back() != post.effect) codes.push_back(post.effect);
    return codes;
}

// Brightness (1), black & white (8), sepia (9), pixellate (13).
EffectSettings fourPasses() {
    EffectSettings settings = defaultEffectSettings();
    settings.sliderBrightness = 0.1f;
    settings.checkBlackWhite = 1;
    settings.checkSepia = 1;
    settings.checkPixellate = 1;
    return settings;
}

TEST(RenderWorker, DefaultsCopyTheSource) {
    const fs::path dir = test::scratchDirectory("worker-defaults");
    const fs::path video = test::barsWithTone("mp4");
    EXPECT_EQ(countMoviePasses(RenderRequest{defaultEffectSettings(), {}, video, dir, PassMode::Each}), 0);
    const WorkerRun run = render(defaultEffectSettings(), video, dir);
    ASSERT_EQ(run.completions.size(), 1u);
    EXPECT_EQ(run.completions[0].outcome, RenderOutcome::Succeeded);
    EXPECT_EQ(run.completions[0].newVideoPath, dir / "movie.mp4");
    EXPECT_TRUE(run.posts.empty());
    EXPECT_EQ(entriesOf(dir), std::vector<std::string>{"movie.mp4"});
    EXPECT_EQ(fs::file_size(dir / "movie.mp4"), fs::file_size(video));
    EXPECT_TRUE(run.printed.empty());
}

// Each effect, transforms too, runs as a pass of its own in the table's order;
// only the final movie stays, replacing a previous render's.
TEST(RenderWorker, PassesRunInOrderAndLeaveOnlyTheFinalMovie) {
    EffectSettings three = defaultEffectSettings();
    three.sliderBrightness = 0.3f;
    three.checkSepia = 1;
    three.checkTextWatermark = 1;
    three.textFieldText = "Tintreel";
    EffectSettings transforms = defaultEffectSettings();
    transforms.checkScale = 1;
    transforms.stepperScale = 100;  // the identity still runs a pass
    transforms.checkRotate = 1;
    transforms.check3DTransform = 1;
    const struct {
        EffectSettings settings;
        fs::path video;
        std::vector<int> codes;
    } cases[] = {{three, test::barsWithTone("3gp"), {1, 9, 23}},
                 {transforms, test::barsWithTone("mov", 0.4), {25, 26, 20}}};
    for (const auto& c : cases) {
        const std::string final = "movie" + c.video.extension().string();
        SCOPED_TRACE(final);
        const fs::path dir = test::scratchDirectory("worker-passes");
        fs::copy_file(c.video, dir / final);
        const WorkerRun run = render(c.settings, c.video, dir);
        ASSERT_EQ(run.completions.size(), 1u);
        EXPECT_EQ(run.completions[0].outcome, RenderOutcome::Succeeded);
        EXPECT_EQ(codesInOrder(run.posts), c.codes);
        for (const auto& post : run.posts) {
            EXPECT_EQ(post.passCount, 3);
            EXPECT_EQ(c.codes.at(post.pass - 1), post.effect);
            EXPECT_GE(post.progress, 0.0f);
            EXPECT_LT(post.progress, 1.0f);
        }
        EXPECT_EQ(entriesOf(dir), std::vector<std::string>{final});
        test::expectSameMovie(c.video, dir / final);
        EXPECT_TRUE(run.printed.empty());
    }
}

TEST(RenderWorker, AFailedSecondPassSkipsTheRestAndEmptiesTheDirectory) {
    const fs::path dir = test::scratchDirectory("worker-failed");
    const EffectSettings settings = fourPasses();
    // While pass 1 runs, something takes the name pass 2 must write.
    const WorkerRun run = render(settings, test::barsWithTone("mov"), dir,
                                 [&](const test::Posted&) { fs::create_directories(dir / "movie2.mov"); });
    ASSERT_EQ(run.completions.size(), 1u);
    EXPECT_EQ(run.completions[0].outcome, RenderOutcome::Failed);
    EXPECT_EQ(run.completions[0].newVideoPath, fs::path());
    EXPECT_EQ(run.completions[0].failure, (dir / "movie2.mov").string() + ": Is a directory");
    EXPECT_EQ(run.printed,
              std::vector<std::string>{"Could not start movie pass: " + run.completions[0].failure});
    EXPECT_EQ(codesInOrder(run.posts), (std::vector<int>{1}));
    EXPECT_TRUE(entriesOf(dir).empty());
}

TEST(RenderWorker, AFinalMovieThatCannotBePutInPlaceFailsAndSaysSo) {
    const fs::path dir = test::scratchDirectory("worker-final-blocked");
    // A folder with a file in it holds the final movie's name.
    fs::create_directories(dir / "movie.mov");
    std::ofstream(dir / "movie.mov" / "keep") << "x";
    EffectSettings settings = defaultEffectSettings();
    settings.checkSepia = 1;
    const WorkerRun run = render(settings, test::barsWithTone("mov", 0.4), dir);
    ASSERT_EQ(run.completions.size(), 1u);
    EXPECT_EQ(run.completions[0].outcome, RenderOutcome::Failed);
    ASSERT_EQ(run.printed.size(), 1u);
    EXPECT_EQ(run.printed[0], "Could not copy final video: " + run.completions[0].failure);
    EXPECT_TRUE(entriesOf(dir).empty());
}

TEST(RenderWorker, CancelDuringTheThirdPassEndsCancelled) {
    const fs::path dir = test::scratchDirectory("worker-cancel");
    const EffectSettings settings = fourPasses();
    std::atomic<bool> cancel{false};
    const WorkerRun run = render(
        settings, test::barsWithTone("m4v"), dir,
        [&](const test::Posted& post) {
            if (post.pass == 3) cancel = true;
        },
        &cancel);
    ASSERT_EQ(run.completions.size(), 1u);
    EXPECT_EQ(run.completions[0].outcome, RenderOutcome::Canceled);
    EXPECT_EQ(run.completions[0].newVideoPath, fs::path());
    EXPECT_TRUE(run.printed.empty());
    EXPECT_EQ(codesInOrder(run.posts), (std::vector<int>{1, 8, 9}));
    EXPECT_TRUE(entriesOf(dir).empty());
    EXPECT_TRUE(cancel);  // the worker never clears the flag
}

// Whatever the mode, a render opens its movie once: the watermark's timing
// and the first pass read the same probe; a later pass opens only the
// intermediate it reads, once. A movie handed over opened is not opened again.
TEST(RenderWorker, OpensTheMovieOnceAndEachIntermediateOnce) {
    const fs::path video = test::barsWithTone("mov", 0.4);
    const auto renders = [](RenderRequest request) {
        std::atomic<bool> cancel{false};
        const NotificationCenter center;
        std::optional<RenderResult> result;
        GeneratePreviewVideo(request, cancel, center, [&](const RenderResult& r) { result = r; });
        return result && result->outcome == RenderOutcome::Succeeded;
    };
    for (const PassMode mode : {PassMode::One, PassMode::Each}) {
        const bool each = mode == PassMode::Each;
        const fs::path dir = test::scratchDirectory(each ? "worker-opens-each" : "worker-opens-one");
        std::vector<long long> before;
        for (int pass = 1; pass <= 4; ++pass)
            before.push_back(inputOpenCount(dir / ("movie" + std::to_string(pass) + ".mov")));
        const long long videoBefore = inputOpenCount(video);
        ASSERT_TRUE(renders({fourPasses(), Image(), video, dir, mode}));
        EXPECT_EQ(inputOpenCount(video) - videoBefore, 1) << each;
        // The intermediates of passes 1 to 3 are read once each; the last pass's movie is not read.
        for (int pass = 1; pass <= 4; ++pass)
            EXPECT_EQ(inputOpenCount(dir / ("movie" + std::to_string(pass) + ".mov")) - before[pass - 1],
                      each && pass < 4 ? 1 : 0)
                << pass;
    }
    const fs::path dir = test::scratchDirectory("worker-opens-given");
    Result<std::shared_ptr<MovieSource>> source = MovieSource::open(video);
    ASSERT_TRUE(source);
    const long long opened = inputOpenCount(video);
    RenderRequest request{fourPasses(), Image(), video, dir, PassMode::One};
    request.source = std::move(*source);
    ASSERT_TRUE(renders(std::move(request)));
    EXPECT_EQ(inputOpenCount(video), opened);
}

}  // namespace
}  // namespace tintreel
