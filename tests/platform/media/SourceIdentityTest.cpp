// What tells one movie from another: the identity each slice records of its
// source. It reads back as written, says what differs in words, tells apart
// movies of the same size, rate and length, and is read through the
// source's one open without disturbing the reader that follows.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/media/MovieReader.h"
#include "platform/media/MovieSource.h"
#include "platform/media/MovieWriter.h"
#include "platform/media/SourceIdentity.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

const SourceIdentity kTwoSeconds{640, 360, 2'000'000, "video h264, audio aac",
                                 "0123456789abcdef0123456789abcdef"};

TEST(SourceIdentity, ReadsBackAsWrittenAndSaysWhatDiffers) {
    EXPECT_EQ(kTwoSeconds.text(), "640x360;2000000;video h264, audio aac;0123456789abcdef0123456789abcdef");
    EXPECT_EQ(SourceIdentity::parse(kTwoSeconds.text()), kTwoSeconds);
    for (const char* damaged :
         {"", "640x360;2000000;video h264", "640360;2000000;video;ab", "640x360;2s;video;ab",
          "640x360;2000000;video;", "640x360;2000000;video;ab;cd"})
        EXPECT_FALSE(SourceIdentity::parse(damaged)) << damaged;

    const auto changed = [](auto change) {
        SourceIdentity other = kTwoSeconds;
        change(other);
        return other;
    };
    const std::pair<SourceIdentity, std::string> cases[] = {
        {changed([](SourceIdentity& o) { o.width = 320; }), "320x360, not 640x360"},
        {changed([](SourceIdentity& o) { o.durationMicroseconds = 20'000'000; }),
         "20.000 s long, not 2.000 s"},
        {changed([](SourceIdentity& o) { o.durationMicroseconds = 2'000'100; }),
         "2.000100 s long, not 2.000000 s"},
        {changed([](SourceIdentity& o) { o.tracks = "video h264"; }),
         "made of video h264, not video h264, audio aac"},
        {changed([](SourceIdentity& o) { o.fingerprint[0] = 'f'; }),
         "another file of the same size, length and tracks"},
    };
    for (const auto& [other, words] : cases) {
        EXPECT_NE(other, kTwoSeconds) << words;
        EXPECT_EQ(other.differenceFrom(kTwoSeconds), words);
    }
}

// Decodes `source` whole into a scratch movie and says how many frames it holds.
long framesRenderedFrom(std::shared_ptr<MovieSource> source, const fs::path& output) {
    Result<std::unique_ptr<MovieReader>> reader = MovieReader::open(std::move(source));
    if (!reader) return -1;
    MovieWriter writer(output, 160, 90, EncodingRole::Final);
    if (!writer.startRecording(**reader) || !(*reader)->startProcessing({}, writer)) return -1;
    // A guard against a hang, not a speed test.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((*reader)->progress() != 1.0f && !(*reader)->failure() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    (*reader)->stopProcessing();
    if (!writer.finishRecording()) return -1;
    const std::optional<test::StreamFacts> video = test::probeStream(output, "v:0");
    return video ? video->frames : -1;
}

TEST(SourceIdentity, TellsApartMoviesOfOneSizeRateAndLengthThroughTheSourcesOneOpen) {
    const std::string shape =
        "=s=160x90:r=25:d=2 -f lavfi -i sine=d=2 -c:v libx264 -pix_fmt yuv420p -c:a aac";
    for (const char* extension : {"mkv", "mp4", "ts"}) {
        SCOPED_TRACE(extension);
        const fs::path bars = test::makeClip("-f lavfi -i smptebars" + shape, extension);
        const fs::path pattern = test::makeClip("-f lavfi -i testsrc2" + shape, extension);
        ASSERT_FALSE(bars.empty() || pattern.empty());

        const long long opens = inputOpenCount(pattern);
        Result<std::shared_ptr<MovieSource>> source = MovieSource::open(pattern);
        ASSERT_TRUE(source) << source.error();
        const Result<SourceIdentity> identity = (*source)->identity();
        ASSERT_TRUE(identity) << identity.error();
        EXPECT_EQ(inputOpenCount(pattern), opens + 1) << "the identity is read through the source's open";
        EXPECT_EQ(identity->width, 160);
        EXPECT_NE(identity->tracks.find("video h264"), std::string::npos) << identity->tracks;

        const Result<SourceIdentity> again = readSourceIdentity(pattern);
        const Result<SourceIdentity> other = readSourceIdentity(bars);
        ASSERT_TRUE(again && other);
        EXPECT_EQ(*again, *identity) << "one file, one identity";
        EXPECT_EQ(other->text().substr(0, other->text().rfind(';')),
                  identity->text().substr(0, identity->text().rfind(';')))
            << "the two movies share size, length and tracks";
        EXPECT_NE(other->fingerprint, identity->fingerprint);

        // The reader still starts at the first frame.
        const fs::path copy =
            test::scratchDirectory("identity-reader") / (std::string("copy_") + extension + ".mkv");
        EXPECT_EQ(framesRenderedFrom(std::move(*source), copy), 50);
    }
}

}  // namespace
}  // namespace tintreel
