// FrameTimes and TimedFrameAtTime: the timeline's frame clock, checked on a
// clip of variable frame rate against the times ffprobe reports.
#include <gtest/gtest.h>

#include <string>

#include "platform/media/FrameImage.h"
#include "platform/media/FrameTimes.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

// Ten frames 0.1 s apart, then ten 0.25 s apart (frames 10 ... 19 at 1.0 ... 3.25).
std::filesystem::path variableRateClip() {
    return test::makeClip(
        "-f lavfi -i testsrc2=s=160x90:r=10:d=2 "
        "-vf \"settb=1/1000,setpts='if(lt(N,10),N*0.1,1+(N-10)*0.25)/TB'\" -vsync vfr "
        "-enc_time_base 1/1000 -c:v libx264 -g 5 -pix_fmt yuv420p",
        "mp4");
}

std::vector<double> probedFrameTimes(const std::filesystem::path& clip) {
    std::vector<double> times;
    for (const std::string& value :
         test::probeValues(clip, "-select_streams v:0 -show_entries frame=pts_time", "pts_time"))
        times.push_back(std::stod(value));
    return times;
}

TEST(FrameTimes, FindsTheFrameShownAndItsNeighbours) {
    const FrameTimes times({0.5, 0.0, 0.2, 0.1, 0.2});  // unsorted, one twice
    ASSERT_EQ(times.count(), 4u);
    EXPECT_EQ(times.last(), 0.5);
    const struct {
        double seconds;
        std::size_t index;
        double next, previous;
    } cases[] = {
        {-1.0, 0, 0.1, 0.0}, {0.0, 0, 0.1, 0.0},        {0.15, 1, 0.2, 0.0},
        {0.2, 2, 0.5, 0.1},  {0.3, 2, 0.5, 0.1},        {0.5, 3, 0.5, 0.2},
        {9.0, 3, 0.5, 0.2},  {0.2 - 1e-9, 2, 0.5, 0.1},  // a hair short of a frame is that frame
    };
    for (const auto& [seconds, index, next, previous] : cases) {
        EXPECT_EQ(times.indexAt(seconds), index) << seconds;
        EXPECT_EQ(times.next(seconds), next) << seconds;
        EXPECT_EQ(times.previous(seconds), previous) << seconds;
    }

    const FrameTimes even = FrameTimes::evenlySpaced(10, 2.0);
    EXPECT_EQ(even.count(), 20u);
    EXPECT_DOUBLE_EQ(even.last(), 1.9);
    EXPECT_EQ(FrameTimes::evenlySpaced(0, 5.0).count(), 1u);  // no rate: the first frame alone
    EXPECT_EQ(FrameTimes().next(1.0), 0.0);
}

TEST(FrameTimes, VariableRateClipStepsFromRealFrameToRealFrame) {
    const std::filesystem::path clip = variableRateClip();
    const std::vector<double> expected = probedFrameTimes(clip);
    ASSERT_EQ(expected.size(), 20u);
    const std::atomic<bool> goOn{false};
    const std::optional<FrameTimes> times = readFrameTimes(clip, goOn);
    ASSERT_TRUE(times);
    ASSERT_EQ(times->count(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index)
        EXPECT_NEAR(times->at(index), expected[index], 1e-6) << index;
    EXPECT_NEAR(times->next(1.0), 1.25, 1e-6);  // after the rate changed, not 1.1
    EXPECT_NEAR(times->previous(1.25), 1.0, 1e-6);

    // Each frame's own time finds that frame; a time between two finds the earlier.
    for (const std::size_t index : {0u, 9u, 10u, 11u, 19u}) {
        const double own = times->at(index);
        for (const double asked : {own, own + 0.05}) {
            const std::optional<TimedFrame> frame = TimedFrameAtTime(clip, asked);
            ASSERT_TRUE(frame) << asked;
            EXPECT_EQ(frame->seconds, own) << asked;
            const auto theirs = test::ffmpegFrame(clip, 0, "'select=eq(n\\," + std::to_string(index) + ")'");
            ASSERT_TRUE(theirs);
            EXPECT_LT(test::meanDifference(frame->image, *theirs), 3.0) << asked;
        }
    }
}

TEST(FrameTimes, NothingForAStoppedReadOrAFileWithoutVideo) {
    const std::atomic<bool> stop{true};
    EXPECT_FALSE(readFrameTimes(variableRateClip(), stop));
    const std::atomic<bool> goOn{false};
    EXPECT_FALSE(readFrameTimes("/nonexistent/clip.mp4", goOn));
    EXPECT_FALSE(readFrameTimes(test::makeClip("-f lavfi -i sine=d=1 -c:a aac", "mp4"), goOn));
}

}  // namespace
}  // namespace tintreel
