// The render worker: which passes run in which order, the three endings,
// and what is left in the temporary directory after each; and one movie
// pass on its own.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "platform/media/FrameImage.h"
#include "render/RenderFixtures.h"
#include "render/RenderWorker.h"
#include "settings/ControlCatalogue.h"
#include "support/FileSizeLimit.h"

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

// One movie pass (VideoTools): naming, orientation, the wait loop's outcomes
// and notifications, and what repeated passes do to the picture.

// Passes frames through an effect and remembers the sizes it was given.
class SizeRecorder : public FrameEffect {
public:
    explicit SizeRecorder(std::unique_ptr<FrameEffect> inner = nullptr) : inner_(std::move(inner)) {}
    Image apply(const Image& frame, double seconds) override {
        sizes.emplace_back(frame.width(), frame.height());
        return inner_ ? inner_->apply(frame, seconds) : frame;
    }
    std::vector<std::pair<int, int>> sizes;

private:
    std::unique_ptr<FrameEffect> inner_;
};

struct PassRun {
    RenderResult result;
    std::vector<test::Posted> posts;
    std::vector<std::string> printed;
    std::chrono::steady_clock::time_point ended;
};

PassRun runPass(long long index, const fs::path& input, EffectCode code, FrameEffect& effect,
                const fs::path& dir, bool cancelled = false, EncodingRole role = EncodingRole::Final) {
    test::ProgressLog log;
    const ScopedLogCapture printed;
    const std::atomic<bool> cancel{cancelled};
    const PassEnvironment environment{dir, cancel, log.center, role, 1, 1};
    const Result<std::shared_ptr<MovieSource>> source = VideoTools::openInput(input);
    PassRun run{source ? VideoTools::renderPass(index, *source, code, effect, environment)
                       : RenderResult::failed(source.error()),
                {},
                {},
                {}};
    run.ended = std::chrono::steady_clock::now();
    run.posts = log.posts();
    run.printed = printed.lines();
    return run;
}

TEST(VideoTools, OutputIsNamedByIndexAndThePassExtension) {
    EXPECT_EQ(VideoTools::outputPath(12, "m4v", "/run/t"), fs::path("/run/t/movie12.m4v"));
    const std::atomic<bool> cancel{false};
    const NotificationCenter center;
    // Before the last pass: the MPEG-4 family keeps its container, others use MP4.
    const PassEnvironment early{"/run/t", cancel, center, EncodingRole::Intermediate, 1, 3};
    EXPECT_EQ(VideoTools::passExtension("/tmp/in/clip.mov", early), "mov");
    EXPECT_EQ(VideoTools::passExtension("/tmp/in/clip.mkv", early), "mp4");
    EXPECT_EQ(VideoTools::passExtension("/tmp/in/clip.webm", early), "mp4");
    // The last pass: the container asked for, else the one the input renders into.
    PassEnvironment last{"/run/t", cancel, center, EncodingRole::Final, 3, 3};
    EXPECT_EQ(VideoTools::passExtension("/tmp/in/clip.mov", last), "mov");
    EXPECT_EQ(VideoTools::passExtension("/tmp/in/clip.avi", last), "mp4");
    EXPECT_EQ(VideoTools::passExtension("/tmp/in/clip", last), "mp4");
    last.finalExtension = "webm";
    EXPECT_EQ(VideoTools::passExtension("/tmp/in/clip.mov", last), "webm");
}

TEST(VideoTools, PortraitSourcesAreWrittenUprightByEffectAndWatermarkPasses) {
    const fs::path dir = test::scratchDirectory("pass-portrait");
    const fs::path portrait = test::withRotationTag(test::barsWithTone("mov"), 270);
    SizeRecorder effect;
    const PassRun run = runPass(1, portrait, EffectCode::Brightness, effect, dir);
    ASSERT_EQ(run.result.newVideoPath, dir / "movie1.mov");
    EXPECT_EQ(effect.sizes.front(), std::make_pair(90, 160));
    const auto facts = test::probeStream(run.result.newVideoPath, "v:0");
    EXPECT_EQ(facts->width, 90);
    EXPECT_EQ(facts->height, 160);
    EXPECT_EQ(facts->rotation, "");
    // Turned right: the picture ffmpeg shows for the tagged source, not the one turned left.
    const Image ours = *FrameImageAtTime(run.result.newVideoPath, 0.5);
    const Image right = *test::ffmpegFrame(portrait, 0.5);
    const Image left = *test::ffmpegFrame(portrait, 0.5, "hflip,vflip");
    ASSERT_EQ(ours.width(), right.width());
    EXPECT_LT(test::meanDifference(ours, right), 6.0);
    EXPECT_LT(2 * test::meanDifference(ours, right), test::meanDifference(ours, left));

    // A later pass finds no tag and turns nothing.
    SizeRecorder second;
    runPass(2, run.result.newVideoPath, EffectCode::Sepia, second, dir);
    EXPECT_EQ(second.sizes.front(), std::make_pair(90, 160));

    EffectSettings settings = defaultEffectSettings();
    settings.checkTextWatermark = 1;
    settings.textFieldText = "Tintreel";
    SizeRecorder watermark(findEffectStep(EffectCode::TextWatermark)->make(settings, Image()));
    const PassRun marked = runPass(1, portrait, EffectCode::TextWatermark, watermark, dir);
    EXPECT_EQ(watermark.sizes.front(), std::make_pair(90, 160));
    EXPECT_EQ(test::probeStream(marked.result.newVideoPath, "v:0")->height, 160);
}

TEST(VideoTools, WaitLoopOutcomesAndNotifications) {
    const fs::path dir = test::scratchDirectory("pass-loop");
    SizeRecorder identity;
    // Cancelled before it starts: answered in the first cycle, nothing posted.
    const PassRun cancelled = runPass(1, test::barsWithTone("mov"), EffectCode::Sepia, identity, dir, true);
    EXPECT_EQ(cancelled.result.outcome, RenderOutcome::Canceled);
    EXPECT_TRUE(cancelled.posts.empty());
    EXPECT_TRUE(cancelled.printed.empty());

    // Shorter than a second (also under a sanitizer): one post, near 0, with
    // the pass's code and numbers.
    const PassRun quick = runPass(1, test::barsWithTone("mov", 0.2), EffectCode::Sepia, identity, dir);
    EXPECT_EQ(quick.result.newVideoPath, dir / "movie1.mov");
    EXPECT_TRUE(quick.printed.empty());
    ASSERT_EQ(quick.posts.size(), 1u);
    EXPECT_LT(quick.posts[0].progress, 0.5f);
    EXPECT_EQ(quick.posts[0].effect, 9);
    EXPECT_EQ(quick.posts[0].pass, 1);
    EXPECT_EQ(quick.posts[0].passCount, 1);

    // A writer that refuses a frame fails the pass with its reason and a line saying so.
    struct WrongSize : FrameEffect {
        Image apply(const Image&, double) override { return Image(8, 8); }
    } broken;
    const PassRun refused = runPass(1, test::barsWithTone("mov"), EffectCode::Sepia, broken, dir);
    EXPECT_EQ(refused.result.outcome, RenderOutcome::Failed);
    EXPECT_EQ(refused.result.failure, "Invalid argument");
    EXPECT_EQ(refused.printed, std::vector<std::string>{"Movie pass failed: Invalid argument"});

    // No video track: failed with a line saying why.
    const PassRun silent =
        runPass(1, test::makeClip("-f lavfi -i sine=d=1 -c:a aac", "mp4"), EffectCode::Sepia, identity, dir);
    EXPECT_EQ(silent.result.outcome, RenderOutcome::Failed);
    ASSERT_EQ(silent.printed.size(), 1u);
    EXPECT_EQ(silent.printed[0].rfind("Could not start movie pass: ", 0), 0u);
    EXPECT_TRUE(silent.printed[0].ends_with(": no video track")) << silent.printed[0];
}

// Records when it last handed a frame on: the writer fails on the frame after.
class LastFrameClock : public FrameEffect {
public:
    Image apply(const Image& frame, double) override {
        last = std::chrono::steady_clock::now();
        ++frames;
        return frame;
    }
    std::chrono::steady_clock::time_point last;
    int frames = 0;
};

TEST(VideoTools, AWriterErrorFailsThePassAtOnceNotAfterTheStallTest) {
    const fs::path input = test::barsWithTone("mov", 4);
    const fs::path dir = test::scratchDirectory("pass-writer-error");
    LastFrameClock clock;
    PassRun run;
    {
        // The disk fills up a few frames into the movie.
        const test::FileSizeLimit full(256 * 1024);
        run = runPass(1, input, EffectCode::Sepia, clock, dir, false, EncodingRole::Intermediate);
    }
    ASSERT_EQ(run.result.outcome, RenderOutcome::Failed);
    EXPECT_EQ(run.result.failure, "File too large");
    EXPECT_EQ(run.printed, std::vector<std::string>{"Movie pass failed: File too large"});
    EXPECT_GT(clock.frames, 1);
    EXPECT_LT(clock.frames, 120) << "the limit was reached before the end";
    const auto afterError = std::chrono::duration_cast<std::chrono::milliseconds>(run.ended - clock.last);
    EXPECT_LT(afterError.count(), 400) << "the pass waited for the stall test";
}

TEST(VideoTools, TenInvisiblePassesStayAbove40DbPsnr) {
    const fs::path source = test::makeClip(
        "-f lavfi -i testsrc2=s=320x180:r=30:d=1,gblur=sigma=1 -pix_fmt yuv420p -c:v libx264 -crf 16", "mp4");
    const fs::path dir = test::scratchDirectory("pass-psnr");
    EffectSettings settings = defaultEffectSettings();
    settings.sliderBlue = 0.999f;
    fs::path current = source;
    for (int pass = 1; pass <= 10; ++pass) {
        auto effect = findEffectStep(EffectCode::RGB)->make(settings, Image());
        const PassRun run = runPass(pass, current, EffectCode::RGB, *effect, dir, false,
                                    pass == 10 ? EncodingRole::Final : EncodingRole::Intermediate);
        ASSERT_EQ(run.result.newVideoPath, VideoTools::outputPath(pass, "mp4", dir));
        current = run.result.newVideoPath;
    }
    const double psnr = test::psnrRgb(source, current).value_or(0);
    std::cout << "PSNR after ten passes: " << psnr << " dB" << std::endl;
    EXPECT_GE(psnr, 40.0);
}

}  // namespace
}  // namespace tintreel
