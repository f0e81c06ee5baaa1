// One-pass rendering against its oracle, the per-effect passes: both modes
// must hand the final encoder the same pictures with the same timestamps, so
// their movies decode to the same frames. Also the one pass's progress,
// cancel and where it leaves its files, and a timed watermark in both modes.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "imaging/EffectSteps.h"
#include "render/RenderFixtures.h"
#include "render/RenderWorker.h"
#include "settings/ControlCatalogue.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {
namespace fs = std::filesystem;

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

// Every decoded video frame of a movie as "pts, duration, size, md5" (ffmpeg's framemd5).
std::vector<std::string> decodedFrames(const fs::path& movie) {
    const std::optional<std::string> text =
        test::runCommand("ffmpeg -nostdin -loglevel error -i " + quoted(movie) + " -map 0:v:0 -f framemd5 -");
    std::vector<std::string> frames;
    if (!text) return frames;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') frames.push_back(line.substr(line.find(',') + 1));
    return frames;
}

// A watermark picture with transparent and half-transparent parts.
Image logoPicture() {
    Image logo = test::noise(24, 12);
    for (int x = 0; x < logo.width(); ++x) logo.pixel(x, 0)[3] = 0;
    for (int x = 0; x < logo.width(); ++x) logo.pixel(x, 1)[3] = 128;
    return logo;
}

test::Rendered renderIn(PassMode mode, const EffectSettings& settings, const fs::path& video,
                        const fs::path& dir, const fs::path& destination = {},
                        std::atomic<bool>* cancel = nullptr,
                        std::function<void(const test::Posted&)> onPost = {},
                        EncodingRole finalEncoding = EncodingRole::Final) {
    return test::render({settings, logoPicture(), video, dir, mode, destination, finalEncoding},
                        std::move(onPost), cancel);
}

// Renders in both modes, the last pass lossless, and expects the same
// decoded frames: exactly the pictures each mode handed its encoder, with
// their timestamps. (The encoder for players may round a picture's blocks
// differently from one run to the next; the lossless one cannot.)
void expectSamePictures(const EffectSettings& settings, const fs::path& video, const std::string& what) {
    SCOPED_TRACE(what);
    // One directory per test: CTest runs the tests of this file side by side.
    const fs::path dir = test::scratchDirectory(
        std::string("one-pass-oracle-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    const test::Rendered each =
        renderIn(PassMode::Each, settings, video, dir, {}, nullptr, {}, EncodingRole::Intermediate);
    ASSERT_EQ(each.result.outcome, RenderOutcome::Succeeded);
    const fs::path eachMovie = dir / "each.mp4";
    fs::rename(each.result.newVideoPath, eachMovie);
    const test::Rendered one =
        renderIn(PassMode::One, settings, video, dir, {}, nullptr, {}, EncodingRole::Intermediate);
    ASSERT_EQ(one.result.outcome, RenderOutcome::Succeeded);
    const std::vector<std::string> expected = decodedFrames(eachMovie);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(decodedFrames(one.result.newVideoPath), expected);
}

using Setter = std::function<void(EffectSettings&)>;

// Each step of the table switched on alone, with values that make it visible.
std::vector<std::pair<EffectCode, Setter>> everyStepAlone() {
    return {
        {EffectCode::Brightness, [](EffectSettings& s) { s.sliderBrightness = 0.2f; }},
        {EffectCode::Exposure, [](EffectSettings& s) { s.sliderExposure = 0.5f; }},
        {EffectCode::Contrast, [](EffectSettings& s) { s.sliderContrast = 1.5f; }},
        {EffectCode::Saturation, [](EffectSettings& s) { s.sliderSaturation = 0.3f; }},
        {EffectCode::Gamma, [](EffectSettings& s) { s.sliderGamma = 1.6f; }},
        {EffectCode::Hue, [](EffectSettings& s) { s.sliderHue = 90.0f; }},
        {EffectCode::RGB, [](EffectSettings& s) { s.sliderRed = 0.5f; }},
        {EffectCode::BlackAndWhite, [](EffectSettings& s) { s.checkBlackWhite = 1; }},
        {EffectCode::Sepia, [](EffectSettings& s) { s.checkSepia = 1; }},
        {EffectCode::Cartoon, [](EffectSettings& s) { s.checkCartoon = 1; }},
        {EffectCode::OilPainting, [](EffectSettings& s) { s.checkOilPainting = 1; }},
        {EffectCode::Vignette, [](EffectSettings& s) { s.checkVignette = 1; }},
        {EffectCode::Pixellate, [](EffectSettings& s) { s.checkPixellate = 1; }},
        {EffectCode::Halftone, [](EffectSettings& s) { s.checkHalftone = 1; }},
        {EffectCode::Blur, [](EffectSettings& s) { s.checkBlur = 1; }},
        {EffectCode::CircleBlur, [](EffectSettings& s) { s.checkCircleBlur = 1; }},
        {EffectCode::FocusBlur, [](EffectSettings& s) { s.checkFocusBlur = 1; }},
        {EffectCode::MotionBlur, [](EffectSettings& s) { s.checkMotionBlur = 1; }},
        {EffectCode::ZoomBlur, [](EffectSettings& s) { s.checkZoomBlur = 1; }},
        {EffectCode::Scale, [](EffectSettings& s) { s.checkScale = 1, s.stepperScale = 70.0f; }},
        {EffectCode::Rotate, [](EffectSettings& s) { s.checkRotate = 1, s.sliderRotateAngle = 30.0f; }},
        {EffectCode::Transform3D,
         [](EffectSettings& s) { s.check3DTransform = 1, s.stepper3DTransform[3] = 0.3f; }},
        {EffectCode::Swirl, [](EffectSettings& s) { s.checkSwirl = 1; }},
        {EffectCode::GlassSphere, [](EffectSettings& s) { s.checkGlassSphere = 1; }},
        {EffectCode::TextWatermark,
         [](EffectSettings& s) { s.checkTextWatermark = 1, s.stepperTextFontSize = 30; }},
        {EffectCode::ImageWatermark, [](EffectSettings& s) { s.checkImageWatermark = 1; }},
    };
}

EffectSettings withSteps(std::initializer_list<EffectCode> codes) {
    EffectSettings settings = defaultEffectSettings();
    for (const auto& [code, set] : everyStepAlone())
        if (std::find(codes.begin(), codes.end(), code) != codes.end()) set(settings);
    return settings;
}

// 0.4 s of 64x48 bars with a tone: small enough to render 60 times.
fs::path shortClip() {
    return test::makeClip(
        "-f lavfi -i testsrc2=s=64x48:r=25:d=0.4 -f lavfi -i sine=r=8000:d=0.4 -ac 1 "
        "-pix_fmt yuv420p -c:v libx264 -g 10 -c:a aac",
        "mp4");
}

TEST(OnePassRender, EveryStepAloneGivesThePerEffectPictures) {
    const fs::path clip = shortClip();
    for (const auto& [code, set] : everyStepAlone()) {
        EffectSettings settings = defaultEffectSettings();
        set(settings);
        expectSamePictures(settings, clip, std::string(findEffectStep(code)->name));
    }
}

TEST(OnePassRender, PairsTriplesAndEverythingGiveThePerEffectPicturesUprightOrTurned) {
    using C = EffectCode;
    const std::vector<std::pair<std::string, EffectSettings>> looks = {
        {"rotate + scale", withSteps({C::Rotate, C::Scale})},
        {"3D transform + image watermark", withSteps({C::Transform3D, C::ImageWatermark})},
        {"swirl + text watermark", withSteps({C::Swirl, C::TextWatermark})},
        {"rotate + glass sphere + brightness", withSteps({C::Rotate, C::GlassSphere, C::Brightness})},
        {"sepia + scale + both watermarks",
         withSteps({C::Sepia, C::Scale, C::TextWatermark, C::ImageWatermark})},
        {"blur + vignette + 3D transform", withSteps({C::Blur, C::Vignette, C::Transform3D})},
    };
    EffectSettings everything = defaultEffectSettings();
    for (const auto& [code, set] : everyStepAlone()) set(everything);
    const fs::path clip = shortClip();
    for (const fs::path& video : {clip, test::withRotationTag(clip, 270), test::withRotationTag(clip, 180)}) {
        for (const auto& [name, settings] : looks)
            expectSamePictures(settings, video, name + " on " + video.string());
        expectSamePictures(everything, video, "everything on " + video.string());
    }
}

TEST(OnePassRender, OneLabelForTheWholeRenderAndOneMovieAtTheEnd) {
    const fs::path dir = test::scratchDirectory("one-pass-progress");
    const fs::path video = test::barsWithTone("mov");
    const test::Rendered run =
        test::render({withSteps({EffectCode::Sepia, EffectCode::Vignette, EffectCode::TextWatermark}),
                      Image(), video, dir});
    ASSERT_EQ(run.result.outcome, RenderOutcome::Succeeded);
    EXPECT_EQ(run.result.newVideoPath, dir / "movie.mov");
    EXPECT_EQ(test::entriesOf(dir), std::vector<std::string>{"movie.mov"});
    test::expectSameMovie(video, run.result.newVideoPath);
    ASSERT_FALSE(run.posts.empty());
    for (const test::Posted& post : run.posts) {
        EXPECT_EQ(post.effect, 0);
        EXPECT_EQ(post.pass, 1);
        EXPECT_EQ(post.passCount, 1);
    }
    EXPECT_EQ(run.posts.front().steps, (std::vector<std::string>{"Sepia", "Vignette", "Text Watermark"}));
}

TEST(OnePassRender, ADestinationGetsTheMovieWholeOrNothing) {
    const fs::path dir = test::scratchDirectory("one-pass-destination");
    const fs::path out = test::scratchDirectory("one-pass-destination-out");
    const fs::path video = test::barsWithTone("mp4");
    const EffectSettings sepia = withSteps({EffectCode::Sepia});

    const test::Rendered done = renderIn(PassMode::One, sepia, video, dir, out / "look.mp4");
    ASSERT_EQ(done.result.outcome, RenderOutcome::Succeeded);
    EXPECT_EQ(done.result.newVideoPath, out / "look.mp4");
    EXPECT_EQ(test::entriesOf(out), std::vector<std::string>{"look.mp4"});
    EXPECT_TRUE(test::entriesOf(dir).empty()) << "no movie passes through the temporary directory";
    test::expectSameMovie(video, out / "look.mp4");

    // Cancelled as it starts, long before the end: the waiting pass sees the
    // flag at once, and neither the old file nor anything else changes.
    const auto before = fs::file_size(out / "look.mp4");
    std::atomic<bool> cancel{false};
    const test::Rendered cancelled =
        renderIn(PassMode::One, withSteps({EffectCode::Sepia, EffectCode::OilPainting}),
                 test::barsWithTone("mp4", 20.0), dir, out / "look.mp4", &cancel,
                 [&](const test::Posted&) { cancel = true; });
    EXPECT_EQ(cancelled.result.outcome, RenderOutcome::Canceled);
    EXPECT_EQ(test::entriesOf(out), std::vector<std::string>{"look.mp4"});
    EXPECT_EQ(fs::file_size(out / "look.mp4"), before);

    // No effect: the source itself, copied.
    const test::Rendered copied =
        renderIn(PassMode::One, defaultEffectSettings(), video, dir, out / "copy.mp4");
    ASSERT_EQ(copied.result.outcome, RenderOutcome::Succeeded);
    EXPECT_EQ(fs::file_size(out / "copy.mp4"), fs::file_size(video));
}

// Three black seconds at 25 fps whose clock starts at 10 s.
fs::path lateClockClip() {
    return test::makeClip(
        "-f lavfi -i color=c=black:s=160x90:r=25:d=3 -pix_fmt yuv420p -c:v libx264 -output_ts_offset 10",
        "mp4");
}

// A white picture over the whole frame, shown from 1 s to 2.5 s with half a
// second of fade each way: the frame's grey is the watermark's visibility.
EffectSettings timedWhiteCover() {
    EffectSettings s = defaultEffectSettings();
    s.checkImageWatermark = 1;
    s.stepperImageOpacity = 100;
    s.stepperImageStart = 1.0f;
    s.stepperImageEnd = 2.5f;
    s.stepperImageFade = 0.5f;
    return s;
}

// The movie rendered in `mode`; with a slice, only that slice of it, into
// `dir` / "slice.mp4".
fs::path render(PassMode mode, const fs::path& dir, std::optional<MovieSlice> slice = std::nullopt,
                const EffectSettings& settings = timedWhiteCover()) {
    RenderRequest request{settings, test::solid(160, 90, {255, 255, 255, 255}), lateClockClip(), dir, mode};
    if (slice) request.destination = dir / "slice.mp4";
    request.slice = slice;
    const test::Rendered run = test::render(request);
    return run.result.outcome == RenderOutcome::Succeeded ? run.result.newVideoPath : fs::path();
}

// The grey of frame `frame` of `movie`, whose first frame is frame `first`
// of the source. Frame n is shown at n / 25 s; ffmpeg gives the first frame
// at or after the time asked, so asking just before a frame picks it.
int greyOfFrame(const fs::path& movie, int frame, int first = 0) {
    const std::optional<Image> picture = test::ffmpegFrame(movie, (frame - first) / 25.0 - 0.02);
    return picture ? test::at(*picture, 80, 45)[0] : -1;
}

// A watermark's start, end and fade in a rendered movie, judged by the
// frames ffmpeg decodes from it; the times count from the first frame even
// when the container's clock starts later.
TEST(WatermarkTimingRender, FramesBeforeInsideAndAfterShowTheWatermarkAsTimedOrToTheEnd) {
    const std::vector<std::string> start = test::probeValues(
        lateClockClip(), "-select_streams v:0 -show_entries stream=start_time", "start_time");
    ASSERT_EQ(start, std::vector<std::string>{"10.000000"}) << "the clip's clock must start late";
    const std::vector<std::pair<int, int>> framesAndGrey = {
        {12, 0},                                           // 0.48 s: before the start
        {31, static_cast<int>(255 * (1.24 - 1.0) / 0.5)},  // fading in, 48 %
        {45, 255},                                         // 1.8 s: full
        {55, static_cast<int>(255 * (2.5 - 2.2) / 0.5)},   // fading out, 60 %
        {70, 0},                                           // 2.8 s: after the end
    };
    for (PassMode mode : {PassMode::One, PassMode::Each}) {
        SCOPED_TRACE(mode == PassMode::One ? "one pass" : "a pass per effect");
        const fs::path movie = render(mode, test::scratchDirectory("watermark-timing"));
        ASSERT_FALSE(movie.empty());
        for (const auto& [frame, grey] : framesAndGrey)
            EXPECT_NEAR(greyOfFrame(movie, frame), grey, 6) << frame;
    }
    // The second half rendered alone (frames 38 on, from 1.52 s) keeps the
    // movie's times, not the slice's own.
    const fs::path dir = test::scratchDirectory("watermark-timing-slice");
    const fs::path half = render(PassMode::One, dir, MovieSlice{{2, 2}, sliceRange({2, 2}, 3.0)});
    ASSERT_FALSE(half.empty());
    for (const auto& [frame, grey] : framesAndGrey) {
        if (frame >= 38) {
            EXPECT_NEAR(greyOfFrame(half, frame, 38), grey, 6) << frame;
        }
    }

    // Shown to the end (end 0) with a fade, the watermark fades out as the
    // movie ends: at 2.8 s of a 3 s movie 0.2 s of the half-second fade is left.
    EffectSettings toTheEnd = timedWhiteCover();
    toTheEnd.stepperImageEnd = 0.0f;
    const fs::path movie =
        render(PassMode::One, test::scratchDirectory("watermark-timing-end"), std::nullopt, toTheEnd);
    ASSERT_FALSE(movie.empty());
    EXPECT_NEAR(greyOfFrame(movie, 12), 0, 6);
    EXPECT_NEAR(greyOfFrame(movie, 45), 255, 6);
    EXPECT_NEAR(greyOfFrame(movie, 62), 255, 6) << "2.48 s: not fading yet";
    EXPECT_NEAR(greyOfFrame(movie, 70), static_cast<int>(255 * (3.0 - 2.8) / 0.5), 8);
    EXPECT_LT(greyOfFrame(movie, 74), 40) << "the last frame has all but faded";
}

}  // namespace
}  // namespace tintreel
