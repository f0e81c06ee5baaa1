// One movie pass (VideoTools): naming, orientation, the wait loop's outcomes
// and notifications, and what repeated passes do to the picture.
#include <gtest/gtest.h>

#include "settings/ControlCatalogue.h"
#include "platform/media/FrameImage.h"
#include "render/RenderFixtures.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::ProgressLog;

const EffectStep& stepFor(EffectCode code) {
    for (const EffectStep& step : effectSteps())
        if (step.code == code) return step;
    std::abort();
}

// Passes frames through an effect and remembers the sizes it was given.
class SizeRecorder : public FrameEffect {
public:
    explicit SizeRecorder(std::unique_ptr<FrameEffect> inner = nullptr) : inner_(std::move(inner)) {}
    Image apply(const Image& frame) override {
        sizes.emplace_back(frame.width(), frame.height());
        return inner_ ? inner_->apply(frame) : frame;
    }
    std::vector<std::pair<int, int>> sizes;

private:
    std::unique_ptr<FrameEffect> inner_;
};

struct PassRun {
    std::string result;
    std::vector<test::Posted> posts;
};

PassRun runPass(long long index, const fs::path& input, EffectCode code, FrameEffect& effect,
                const fs::path& dir, bool cancelled = false, EncodingRole role = EncodingRole::Final) {
    ProgressLog log;
    const std::atomic<bool> cancel{cancelled};
    const PassEnvironment environment{dir, cancel, log.center, role, 1, 1};
    PassRun run{VideoTools::RenderPass(index, input, code, effect, environment), {}};
    run.posts = log.posts();
    return run;
}

TEST(VideoTools, OutputIsNamedByIndexAndTheInputsExtension) {
    EXPECT_EQ(VideoTools::OutputPath(12, "/tmp/x/movie11.m4v", "/run/t"), fs::path("/run/t/movie12.m4v"));
    EXPECT_EQ(VideoTools::OutputPath(3, "/tmp/in/clip.mov", "/run/t"), fs::path("/run/t/movie3.mov"));
    EXPECT_EQ(VideoTools::OutputPath(3, "/tmp/in/clip", "/run/t"), fs::path("/run/t/movie3."));

    const fs::path dir = test::scratchDirectory("pass-naming");
    const fs::path input = dir / "movie11.m4v";
    fs::copy_file(test::barsWithTone("m4v", 0.5), input);
    SizeRecorder identity;
    const PassRun run = runPass(12, input, EffectCode::Sepia, identity, dir);
    EXPECT_EQ(run.result, (dir / "movie12.m4v").string());
    test::expectSameMovie(input, run.result);
}

TEST(VideoTools, PortraitSourcesAreWrittenUprightByEffectAndWatermarkPasses) {
    const fs::path dir = test::scratchDirectory("pass-portrait");
    const fs::path portrait = test::withRotationTag(test::barsWithTone("mov"), 270);
    SizeRecorder effect;
    const PassRun run = runPass(1, portrait, EffectCode::Brightness, effect, dir);
    ASSERT_EQ(run.result, (dir / "movie1.mov").string());
    EXPECT_EQ(effect.sizes.front(), std::make_pair(90, 160));
    const auto facts = test::probeStream(run.result, "v:0");
    EXPECT_EQ(facts->width, 90);
    EXPECT_EQ(facts->height, 160);
    EXPECT_EQ(facts->rotation, "");
    // Turned right: the picture ffmpeg shows for the tagged source, not the one turned left.
    const Image ours = *FrameImageAtTime(run.result, 0.5);
    const Image right = *test::ffmpegFrame(portrait, 0.5);
    const Image left = *test::ffmpegFrame(portrait, 0.5, "hflip,vflip");
    ASSERT_EQ(ours.width(), right.width());
    EXPECT_LT(test::meanDifference(ours, right), 6.0);
    EXPECT_LT(2 * test::meanDifference(ours, right), test::meanDifference(ours, left));

    // A later pass finds no tag and turns nothing.
    SizeRecorder second;
    runPass(2, run.result, EffectCode::Sepia, second, dir);
    EXPECT_EQ(second.sizes.front(), std::make_pair(90, 160));

    EffectSettings settings = defaultEffectSettings();
    settings.checkTextWatermark = 1;
    settings.textFieldText = "Tintreel";
    SizeRecorder watermark(stepFor(EffectCode::TextWatermark).make(settings, Image()));
    const PassRun marked = runPass(1, portrait, EffectCode::TextWatermark, watermark, dir);
    EXPECT_EQ(watermark.sizes.front(), std::make_pair(90, 160));
    EXPECT_EQ(test::probeStream(marked.result, "v:0")->height, 160);
}

TEST(VideoTools, WaitLoopOutcomesAndNotifications) {
    const fs::path dir = test::scratchDirectory("pass-loop");
    SizeRecorder identity;
    // Cancelled before it starts: answered in the first cycle, nothing posted.
    const PassRun cancelled = runPass(1, test::barsWithTone("mov"), EffectCode::Sepia, identity, dir, true);
    EXPECT_EQ(cancelled.result, kPassCanceled);
    EXPECT_TRUE(cancelled.posts.empty());

    // Shorter than a second: one post, near 0, with the pass's code and numbers.
    const PassRun quick = runPass(1, test::barsWithTone("mov", 0.5), EffectCode::Sepia, identity, dir);
    EXPECT_EQ(quick.result, (dir / "movie1.mov").string());
    ASSERT_EQ(quick.posts.size(), 1u);
    EXPECT_LT(quick.posts[0].progress, 0.5f);
    EXPECT_EQ(quick.posts[0].effect, 9.0f);
    EXPECT_EQ(quick.posts[0].pass, 1.0f);
    EXPECT_EQ(quick.posts[0].passCount, 1.0f);

    // A writer that can take no more frames stops the movie: judged stalled, "failed".
    struct WrongSize : FrameEffect {
        Image apply(const Image&) override { return Image(8, 8); }
    } broken;
    EXPECT_EQ(runPass(1, test::barsWithTone("mov"), EffectCode::Sepia, broken, dir).result, kPassFailed);

    // No video track: "failed" with a line saying why.
    testing::internal::CaptureStdout();
    EXPECT_EQ(
        runPass(1, test::makeClip("-f lavfi -i sine=d=1 -c:a aac", "mp4"), EffectCode::Sepia, identity, dir)
            .result,
        kPassFailed);
    EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("Could not start movie pass: ", 0), 0u);
}

TEST(VideoTools, TenInvisiblePassesStayAbove40DbPsnr) {
    const fs::path source = test::makeClip(
        "-f lavfi -i testsrc2=s=320x180:r=30:d=1,gblur=sigma=1 -pix_fmt yuv420p -c:v libx264 -crf 16", "mp4");
    const fs::path dir = test::scratchDirectory("pass-psnr");
    EffectSettings settings = defaultEffectSettings();
    settings.sliderBlue = 0.999f;
    fs::path current = source;
    for (int pass = 1; pass <= 10; ++pass) {
        auto effect = stepFor(EffectCode::RGB).make(settings, Image());
        const PassRun run = runPass(pass, current, EffectCode::RGB, *effect, dir, false,
                                    pass == 10 ? EncodingRole::Final : EncodingRole::Intermediate);
        ASSERT_EQ(run.result, VideoTools::OutputPath(pass, source, dir).string());
        current = run.result;
    }
    const double psnr = test::psnrRgb(source, current).value_or(0);
    std::cout << "PSNR after ten passes: " << psnr << " dB" << std::endl;
    EXPECT_GE(psnr, 40.0);
}

}  // namespace
}  // namespace tintreel
