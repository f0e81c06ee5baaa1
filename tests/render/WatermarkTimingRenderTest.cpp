// A watermark's start, end and fade in a rendered movie, judged by the
// frames ffmpeg decodes from it; the times count from the first frame even
// when the container's clock starts later.
#include <gtest/gtest.h>

#include "render/RenderFixtures.h"
#include "render/RenderWorker.h"
#include "settings/ControlCatalogue.h"
#include "support/TestImages.h"

namespace tintreel {
namespace {
namespace fs = std::filesystem;

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
    for (const auto& [frame, grey] : framesAndGrey)
        if (frame >= 38) EXPECT_NEAR(greyOfFrame(half, frame, 38), grey, 6) << frame;

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
