// MediaAsset and FrameImageAtTime against clips made by ffmpeg; pictures are
// compared with what ffmpeg itself decodes (and rotates) for the same time.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/media/FrameImage.h"
#include "platform/media/MediaAsset.h"
#include "platform/system/Log.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

using test::makeClip;
using test::meanDifference;

// Colour bars with a moving test pattern at 160x90, 25 fps, 2 s, with a tone.
std::filesystem::path barsClip() {
    return makeClip(
        "-f lavfi -i testsrc2=s=160x90:r=25:d=2 -f lavfi -i sine=f=440:d=2 -c:v libx264 -g 25 "
        "-pix_fmt yuv420p -c:a aac -shortest",
        "mov");
}

// `ours` is ffmpeg's picture at `seconds`, give or take colour rounding, and not its neighbour's.
void expectSameFrame(const Image& ours, const std::filesystem::path& clip, double seconds,
                     const std::string& filter) {
    const auto theirs = test::ffmpegFrame(clip, seconds, filter);
    const auto neighbour = test::ffmpegFrame(clip, seconds + 0.04, filter);
    ASSERT_TRUE(theirs && neighbour);
    ASSERT_EQ(ours.width(), theirs->width());
    ASSERT_EQ(ours.height(), theirs->height());
    // Chroma interpolation may differ a little from ffmpeg's; a different frame differs more.
    EXPECT_LT(meanDifference(ours, *theirs), 3.0) << seconds;
    EXPECT_GT(meanDifference(ours, *neighbour), 1.5 * meanDifference(ours, *theirs)) << seconds;
}

TEST(MediaAsset, DescribesDurationSizeAndTransformAndTurnsPortraitFramesUpright) {
    const MediaAsset plain = MediaAsset::open(barsClip());
    ASSERT_TRUE(plain.isReadable());
    EXPECT_NEAR(plain.durationSeconds(), 2.0, 0.05);
    ASSERT_TRUE(plain.firstVideoTrack());
    EXPECT_EQ(plain.firstVideoTrack()->width, 160);
    EXPECT_EQ(plain.firstVideoTrack()->height, 90);
    EXPECT_EQ(plain.firstVideoTrack()->transform, PreferredTransform{});

    const std::filesystem::path portraitClip = test::withRotationTag(barsClip(), 270);
    const MediaAsset portrait = MediaAsset::open(portraitClip);
    ASSERT_TRUE(portrait.firstVideoTrack());
    EXPECT_EQ(portrait.firstVideoTrack()->transform, (PreferredTransform{0, 1, -1, 0}));
    const Orientation right = uprightOrientation(*portrait.firstVideoTrack());
    EXPECT_EQ(right.rotation, InputRotation::RotateRight);
    EXPECT_EQ(right.width, 90);
    EXPECT_EQ(right.height, 160);
    // Its frames are turned upright as ffmpeg turns them.
    const auto upright = FrameImageAtTime(portraitClip, 0.4);
    ASSERT_TRUE(upright);
    expectSameFrame(*upright, barsClip(), 0.4, "transpose=clock");

    const MediaAsset left = MediaAsset::open(test::withRotationTag(barsClip(), 90));
    EXPECT_EQ(uprightOrientation(*left.firstVideoTrack()).rotation, InputRotation::RotateLeft);
    const MediaAsset half = MediaAsset::open(test::withRotationTag(barsClip(), 180));
    EXPECT_EQ(uprightOrientation(*half.firstVideoTrack()).rotation, InputRotation::HalfTurn);
    // A mirror is not one of the four camera transforms: left as stored.
    EXPECT_EQ(uprightOrientation({160, 90, {-1, 0, 0, 1}, {}}).rotation, InputRotation::None);
}

TEST(FrameImageAtTime, GivesTheFrameShownAtThatTime) {
    // Times between key frames (every 25 frames) need decoding forward from the key frame.
    // Times are taken in sixtieths of a second; these are frame times of the 25 fps clip too.
    for (double seconds : {0.0, 0.6, 1.0, 1.4}) {
        const auto ours = FrameImageAtTime(barsClip(), seconds);
        ASSERT_TRUE(ours) << seconds;
        expectSameFrame(*ours, barsClip(), seconds, "");
    }
    // Between two frames the earlier one is shown.
    EXPECT_EQ(*FrameImageAtTime(barsClip(), 0.62), *FrameImageAtTime(barsClip(), 0.6));
    EXPECT_NE(*FrameImageAtTime(barsClip(), 0.65), *FrameImageAtTime(barsClip(), 0.6));
}

TEST(MediaAsset, OpensEveryContainerFfmpegReadsButNotPictures) {
    for (const test::NamedClip& clip : test::otherContainerClips()) {
        SCOPED_TRACE(clip.name);
        ASSERT_FALSE(clip.path.empty()) << "fixture not generated";
        const MediaAsset asset = MediaAsset::open(clip.path);
        ASSERT_TRUE(asset.firstVideoTrack()) << asset.openError();
        EXPECT_EQ(asset.firstVideoTrack()->width, 160);
        EXPECT_NEAR(asset.durationSeconds(), 1.0, 0.1);
        const auto first = FrameImageAtTime(clip.path, 0.0);
        ASSERT_TRUE(first);
        // Lossy codecs differ from the source more than H.264 does, but not by a frame.
        EXPECT_LT(meanDifference(*first, *test::ffmpegFrame(clip.path, 0.0)), 3.0);
    }
    // A picture probes as a one-frame video whatever its name: it is no movie.
    const std::filesystem::path picture = test::scratchDirectory("media-picture") / "photo.mp4";
    ASSERT_TRUE(test::writePicture(picture));
    const ScopedLogCapture log;
    EXPECT_TRUE(MediaAsset::open(picture).isReadable());
    EXPECT_FALSE(MediaAsset::open(picture).firstVideoTrack());
    EXPECT_FALSE(FrameImageAtTime(picture, 0.0));
}

TEST(FrameImageAtTime, PastTheEndIsSilentAndFailuresArePrinted) {
    const std::filesystem::path noVideo = makeClip("-f lavfi -i sine=d=1 -c:a aac", "mp4");
    {
        const ScopedLogCapture log;
        EXPECT_FALSE(FrameImageAtTime(barsClip(), 2.5));
        EXPECT_TRUE(FrameImageAtTime(barsClip(), MediaAsset::open(barsClip()).durationSeconds()));
        EXPECT_TRUE(log.lines().empty());
    }
    const ScopedLogCapture log;
    EXPECT_FALSE(FrameImageAtTime("/nonexistent/clip.mov", 0.0));
    EXPECT_FALSE(FrameImageAtTime(noVideo, 0.0));
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Image generation failed with error No such file or directory");
    EXPECT_EQ(log.countStartingWith("Image generation failed with error "), 2);
}

}  // namespace
}  // namespace tintreel
