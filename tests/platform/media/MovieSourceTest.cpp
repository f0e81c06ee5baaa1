// MovieSource: one open of a movie file serves its facts, the reader that
// decodes it and the writer that copies its description; the media layer's
// one open function counts every open, failed ones included.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/media/MovieReader.h"
#include "platform/media/MovieSource.h"
#include "platform/media/MovieWriter.h"
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

    Result<std::unique_ptr<MovieReader>> reader = MovieReader::open(*source);
    ASSERT_TRUE(reader) << reader.error();
    MovieWriter writer(output, 160, 90, EncodingRole::Final);
    ASSERT_TRUE(writer.startRecording(**reader));
    ASSERT_TRUE((*reader)->startProcessing({}, writer));
    // A guard against a hang, not a speed test.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((*reader)->progress() != 1.0f && !(*reader)->failure() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    (*reader)->stopProcessing();
    ASSERT_TRUE(writer.finishRecording());
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

    const fs::path missing = "/nonexistent/clip.mov";
    const long long missingBefore = inputOpenCount(missing);
    const Result<std::shared_ptr<MovieSource>> failed = MovieSource::open(missing);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), MediaAsset::open(missing).openError());
    EXPECT_EQ(inputOpenCount(missing), missingBefore + 2);

    // A file without video opens; its facts say why it cannot be rendered.
    const Result<std::shared_ptr<MovieSource>> audio =
        MovieSource::open(test::makeClip("-f lavfi -i sine=d=1 -c:a aac", "mp4"));
    ASSERT_TRUE(audio);
    EXPECT_EQ((*audio)->facts().videoStatus().error(), "no video track");
    EXPECT_EQ((*audio)->facts().framesPerSecond(), 0.0);
    EXPECT_FALSE(MovieReader::open(*audio));
}

}  // namespace
}  // namespace tintreel
