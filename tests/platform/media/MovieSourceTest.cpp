// MovieSource: one open of a movie file serves its facts, the reader that
// decodes it and the writer that copies its description; the media layer's
// one open function counts every open, failed ones included.
#include <gtest/gtest.h>

#include "Transcode.h"
#include "platform/media/MovieReader.h"
#include "platform/media/MovieSource.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

// 160x90 at 25 fps for 1 s, with a tone.
fs::path toneClip() {
    return test::makeClip(
        "-f lavfi -i testsrc2=s=160x90:r=25:d=1 -f lavfi -i sine=f=440:d=1 -c:v libx264 -pix_fmt yuv420p "
        "-c:a aac -shortest",
        "mov");
}

TEST(MovieSource, OneOpenServesTheFactsTheReaderAndTheWriter) {
    const fs::path clip = toneClip();
    const fs::path output = test::scratchDirectory("source-once") / "out.mov";
    const long long before = inputOpenCount(clip);
    Result<std::shared_ptr<MovieSource>> source = MovieSource::open(clip);
    ASSERT_TRUE(source) << source.error();
    EXPECT_EQ(inputOpenCount(clip), before + 1);
    const MediaAsset& facts = (*source)->facts();
    ASSERT_TRUE(facts.firstVideoTrack());
    EXPECT_EQ(facts.firstVideoTrack()->width, 160);
    EXPECT_DOUBLE_EQ(facts.framesPerSecond(), 25.0);
    EXPECT_EQ(facts.audioTrackCount(), 1);
    EXPECT_TRUE(facts.videoStatus());

    ASSERT_TRUE(test::transcode(*source, output, EncodingRole::Final).finished);
    EXPECT_EQ(inputOpenCount(clip), before + 1) << "the reader and the writer opened the file again";
    const std::optional<test::StreamFacts> video = test::probeStream(output, "v:0");
    const std::optional<test::StreamFacts> audio = test::probeStream(output, "a:0");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->frames, 25);
    EXPECT_EQ(audio->codec, "aac");
}

TEST(MovieSource, EveryOpenCountsUnderOneSpellingAndFailuresSayWhy) {
    const fs::path clip = toneClip();
    const fs::path respelt = clip.parent_path() / "." / clip.filename();
    const long long before = inputOpenCount(clip);
    ASSERT_TRUE(MovieSource::open(respelt));
    ASSERT_TRUE(MovieReader::open(clip));
    EXPECT_EQ(inputOpenCount(clip), before + 2);

    // A missing file: the same reason from the source, the facts and the reader.
    const fs::path missing = "/nonexistent/clip.mov";
    const long long missingBefore = inputOpenCount(missing);
    const Result<std::shared_ptr<MovieSource>> failed = MovieSource::open(missing);
    const MediaAsset unreadable = MediaAsset::open(missing);
    const Result<std::unique_ptr<MovieReader>> noReader = MovieReader::open(missing);
    EXPECT_EQ(inputOpenCount(missing), missingBefore + 3);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), "No such file or directory");
    EXPECT_FALSE(unreadable.isReadable());
    EXPECT_FALSE(unreadable.firstVideoTrack());
    EXPECT_EQ(unreadable.openError(), failed.error());
    ASSERT_FALSE(noReader);
    EXPECT_EQ(noReader.error(), failed.error());

    // A file without video opens; its facts say why it cannot be rendered, and no reader takes it.
    const fs::path audioOnly = test::makeClip("-f lavfi -i sine=d=1 -c:a aac", "mp4");
    const Result<std::shared_ptr<MovieSource>> audio = MovieSource::open(audioOnly);
    ASSERT_TRUE(audio);
    const MediaAsset& facts = (*audio)->facts();
    EXPECT_TRUE(facts.isReadable());
    EXPECT_FALSE(facts.firstVideoTrack());
    EXPECT_NEAR(facts.durationSeconds(), 1.0, 0.1);
    EXPECT_EQ(facts.videoStatus().error(), "no video track");
    EXPECT_EQ(facts.framesPerSecond(), 0.0);
    EXPECT_FALSE(MovieReader::open(*audio));
    const Result<std::unique_ptr<MovieReader>> noVideo = MovieReader::open(audioOnly);
    ASSERT_FALSE(noVideo);
    EXPECT_FALSE(noVideo.error().empty());
}

}  // namespace
}  // namespace tintreel
