// The render worker: which passes run in which order, the three endings,
// and what is left in the temporary directory after each.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "render/RenderFixtures.h"
#include "render/RenderWorker.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::entriesOf;

// These tests pin the per-effect mode; the one-pass mode has its own.
test::Rendered render(const EffectSettings& settings, const fs::path& video, const fs::path& dir,
                      std::function<void(const test::Posted&)> onPost = {},
                      std::atomic<bool>* cancel = nullptr) {
    return test::render({settings, Image(), video, dir, PassMode::Each}, std::move(onPost), cancel);
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

// Each effect, transforms too, runs as a pass of its own in the table's order;
// only the final movie stays, replacing a previous render's. With every
// control at its default no pass runs: the source is copied.
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
                 {transforms, test::barsWithTone("mov", 0.4), {25, 26, 20}},
                 {defaultEffectSettings(), test::barsWithTone("mp4"), {}}};
    for (const auto& c : cases) {
        const std::string final = "movie" + c.video.extension().string();
        SCOPED_TRACE(final);
        const fs::path dir = test::scratchDirectory("worker-passes");
        fs::copy_file(c.video, dir / final);
        EXPECT_EQ(countMoviePasses({c.settings, {}, c.video, dir, PassMode::Each}), std::ssize(c.codes));
        const test::Rendered run = render(c.settings, c.video, dir);
        EXPECT_EQ(run.result.outcome, RenderOutcome::Succeeded);
        EXPECT_EQ(run.result.newVideoPath, dir / final);
        EXPECT_EQ(codesInOrder(run.posts), c.codes);
        for (const auto& post : run.posts) {
            EXPECT_EQ(post.passCount, 3);
            EXPECT_EQ(c.codes.at(post.pass - 1), post.effect);
            EXPECT_GE(post.progress, 0.0f);
            EXPECT_LT(post.progress, 1.0f);
        }
        EXPECT_EQ(entriesOf(dir), std::vector<std::string>{final});
        test::expectSameMovie(c.video, dir / final);
        if (c.codes.empty()) {
            EXPECT_EQ(fs::file_size(dir / final), fs::file_size(c.video)) << "copied";
        }
        EXPECT_TRUE(run.printed.empty());
    }
}

// Ended as `outcome` after the passes `codes`, with no movie and an empty directory.
void expectEndedEmpty(const test::Rendered& run, RenderOutcome outcome, const std::vector<int>& codes,
                      const fs::path& dir) {
    EXPECT_EQ(run.result.outcome, outcome);
    EXPECT_EQ(run.result.newVideoPath, fs::path());
    EXPECT_EQ(codesInOrder(run.posts), codes);
    EXPECT_TRUE(entriesOf(dir).empty());
}

// A second pass that cannot start, a final movie that cannot be put in
// place, and a cancel during the third pass: each ends as it says, printing
// the reason of a failure, running no pass after it, and emptying the
// directory.
TEST(RenderWorker, AFailureOrACancelEndsTheRenderAndEmptiesTheDirectory) {
    // While pass 1 runs, something takes the name pass 2 must write.
    const fs::path failed = test::scratchDirectory("worker-failed");
    const test::Rendered refused =
        render(fourPasses(), test::barsWithTone("mov"), failed,
               [&](const test::Posted&) { fs::create_directories(failed / "movie2.mov"); });
    expectEndedEmpty(refused, RenderOutcome::Failed, {1}, failed);
    EXPECT_EQ(refused.result.failure, (failed / "movie2.mov").string() + ": Is a directory");
    EXPECT_EQ(refused.printed,
              std::vector<std::string>{"Could not start movie pass: " + refused.result.failure});

    // A folder with a file in it holds the final movie's name.
    const fs::path blocked = test::scratchDirectory("worker-final-blocked");
    fs::create_directories(blocked / "movie.mov");
    std::ofstream(blocked / "movie.mov" / "keep") << "x";
    EffectSettings sepia = defaultEffectSettings();
    sepia.checkSepia = 1;
    const test::Rendered unplaced = render(sepia, test::barsWithTone("mov", 0.4), blocked);
    expectEndedEmpty(unplaced, RenderOutcome::Failed, {9}, blocked);
    EXPECT_EQ(unplaced.printed,
              std::vector<std::string>{"Could not copy final video: " + unplaced.result.failure});

    const fs::path dir = test::scratchDirectory("worker-cancel");
    std::atomic<bool> cancel{false};
    const test::Rendered cancelled = render(
        fourPasses(), test::barsWithTone("m4v"), dir,
        [&](const test::Posted& post) {
            if (post.pass == 3) cancel = true;
        },
        &cancel);
    expectEndedEmpty(cancelled, RenderOutcome::Canceled, {1, 8, 9}, dir);
    EXPECT_TRUE(cancelled.printed.empty());
    EXPECT_TRUE(cancel);  // the worker never clears the flag
}

// Whatever the mode, a render opens its movie once: the watermark's timing
// and the first pass read the same probe; a later pass opens only the
// intermediate it reads, once. A movie handed over opened is not opened again.
TEST(RenderWorker, OpensTheMovieOnceAndEachIntermediateOnce) {
    const fs::path video = test::barsWithTone("mov", 0.4);
    const auto renders = [](const RenderRequest& request) {
        return test::render(request).result.outcome == RenderOutcome::Succeeded;
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
