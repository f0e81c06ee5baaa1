// MovieReader feeding MovieWriter: what lands in the file, judged by ffprobe
// and ffmpeg, and how progress behaves on the way.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <thread>

#include "Transcode.h"
#include "platform/media/FrameImage.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MovieReader.h"
#include "platform/media/MovieWriter.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::expectSameMovie;
using test::makeClip;
using test::Outcome;
using test::probeStream;
using test::transcode;

const std::string kBars = "-f lavfi -i testsrc2=s=160x90:r=30:d=1.5 ";
const std::string kH264 = " -pix_fmt yuv420p -c:v libx264 -g 30 ";

TEST(MovieTranscode, EveryContainerKeepsFramesAudioAndDuration) {
    const fs::path dir = test::scratchDirectory("containers");
    const std::pair<std::string, std::string> cases[] = {
        {"mov", "-f lavfi -i sine=d=1.5 -c:a aac"},
        {"mp4", "-f lavfi -i sine=d=1.5 -c:a libmp3lame"},
        {"m4v", "-f lavfi -i sine=d=1.5 -c:a aac"},
        {"3gp", "-f lavfi -i sine=r=8000:d=1.5 -ac 1 -c:a aac"},
        {"3g2", "-f lavfi -i sine=r=8000:d=1.5 -ac 1 -c:a aac"},
        {"mov", "-an"},
    };
    for (const auto& [extension, audio] : cases) {
        const fs::path source = makeClip(kBars + audio + kH264, extension);
        const fs::path output = dir / ("out." + extension);
        ASSERT_TRUE(transcode(source, output, EncodingRole::Final).finished) << extension << audio;
        expectSameMovie(source, output);
        EXPECT_EQ(probeStream(output, "v:0")->pixelFormat, "yuv420p");
    }
}

TEST(MovieTranscode, IntermediateFilesAreLosslessAndFinalOnesClose) {
    const fs::path source =
        makeClip("-f lavfi -i testsrc2=s=320x180:r=30:d=1.5,gblur=sigma=1 -an" + kH264 + "-crf 16", "mp4");
    const fs::path dir = test::scratchDirectory("lossless");
    ASSERT_TRUE(transcode(source, dir / "a.mp4", EncodingRole::Intermediate).finished);
    ASSERT_TRUE(transcode(dir / "a.mp4", dir / "b.mp4", EncodingRole::Intermediate).finished);
    for (double t : {0.0, 0.5, 1.2})
        EXPECT_EQ(*FrameImageAtTime(dir / "b.mp4", t), *FrameImageAtTime(source, t));
    ASSERT_TRUE(transcode(dir / "b.mp4", dir / "c.mp4", EncodingRole::Final).finished);
    EXPECT_GT(test::psnrRgb(source, dir / "c.mp4").value_or(0), 40.0);
}

TEST(MovieTranscode, OddSizesArePaddedToEvenOnlyInTheFinalFile) {
    const fs::path source =
        makeClip("-f lavfi -i testsrc=s=161x121:r=25:d=1 -pix_fmt yuv444p -c:v libx264", "mov");
    const fs::path dir = test::scratchDirectory("odd");
    ASSERT_TRUE(transcode(source, dir / "mid.mov", EncodingRole::Intermediate).finished);
    EXPECT_EQ(probeStream(dir / "mid.mov", "v:0")->width, 161);
    ASSERT_TRUE(transcode(dir / "mid.mov", dir / "end.mov", EncodingRole::Final).finished);
    const auto facts = probeStream(dir / "end.mov", "v:0");
    EXPECT_EQ(facts->width, 162);
    EXPECT_EQ(facts->height, 122);
    // The added column and row repeat the edge pixels (compared by luma: 4:2:0 chroma is shared).
    const Image end = *FrameImageAtTime(dir / "end.mov", 0.4);
    const auto luma = [&](int x, int y) {
        const std::uint8_t* p = end.pixel(x, y);
        return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
    };
    for (int i = 0; i < 121; i += 10) {
        EXPECT_NEAR(luma(161, i), luma(160, i), 4) << i;
        EXPECT_NEAR(luma(i, 121), luma(i, 120), 4) << i;
    }
}

TEST(MovieTranscode, VariableFrameRateKeepsItsTimestamps) {
    // Frames 0-9 at 30 fps, then a 0.4 s gap, then 20 more.
    const fs::path source = makeClip(
        "-f lavfi -i testsrc2=s=96x64:r=30:d=1 -f lavfi -i sine=d=1.5 -vf "
        "\"setpts='(N+if(gt(N,9),12,0))/30/TB'\" "
        "-fps_mode passthrough -c:v libx264 -c:a aac",
        "mp4");
    const fs::path output = test::scratchDirectory("vfr") / "out.mp4";
    ASSERT_TRUE(transcode(source, output, EncodingRole::Final).finished);
    const std::string times =
        "ffprobe -v error -select_streams v:0 -show_entries packet=pts_time -of csv=p=0 ";
    const auto in = test::runCommand(times + source.string() + " | sort -n");
    const auto out = test::runCommand(times + output.string() + " | sort -n");
    ASSERT_TRUE(in && out);
    EXPECT_EQ(*out, *in);
    expectSameMovie(source, output);
}

TEST(MovieTranscode, ProgressRisesToExactlyOneMovesWithinASlowFrameAndStopLeavesAPlayableFile) {
    const fs::path source = makeClip(kBars + kH264 + "-an", "mov");
    const fs::path dir = test::scratchDirectory("progress");
    const Outcome outcome = transcode(source, dir / "all.mov", EncodingRole::Intermediate);
    ASSERT_TRUE(outcome.finished);
    ASSERT_EQ(outcome.progress.size(), 46u);  // 45 frames and the end
    EXPECT_TRUE(std::is_sorted(outcome.progress.begin(), outcome.progress.end()));
    EXPECT_LT(outcome.progress[44], 1.0f);
    EXPECT_EQ(outcome.progress.back(), 1.0f);

    // A slow operation: progress moves while it works on one frame, and
    // stopping part way sends nothing more to the writer, whose part is a valid movie.
    auto reader = std::move(*MovieReader::open(source));
    MovieWriter writer(dir / "part.mov", 160, 90, EncodingRole::Final);
    ASSERT_TRUE(writer.startRecording(*reader));
    reader->startProcessing(
        [](const Image& f, double) {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            return f;
        },
        writer);
    float seen = reader->progress();
    for (int i = 0; i < 8; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_GT(reader->progress(), seen) << i;
        seen = reader->progress();
    }
    reader->stopProcessing();
    const float stoppedAt = reader->progress();
    EXPECT_LT(stoppedAt, 1.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(reader->progress(), stoppedAt);
    ASSERT_TRUE(writer.finishRecording());
    const auto part = probeStream(dir / "part.mov", "v:0");
    ASSERT_TRUE(part);
    EXPECT_GT(part->packets, 0);
    EXPECT_LT(part->packets, 45);
}

// Starts `reader` into `writer` and waits until delivery ends with a failure.
std::optional<Error> failureOf(MovieReader& reader, MovieWriter& writer, FrameOperation operation) {
    std::atomic<int> advancesAfterFailure{0};
    reader.startProcessing(std::move(operation), writer, [&] {
        if (reader.failure()) ++advancesAfterFailure;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (advancesAfterFailure == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const float stoppedAt = reader.progress();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(reader.progress(), stoppedAt) << "progress moved after the failure";
    EXPECT_LT(stoppedAt, 1.0f);
    EXPECT_EQ(advancesAfterFailure, 1) << "a failure rings the caller once";
    reader.stopProcessing();
    return reader.failure();
}

TEST(MovieTranscode, FailuresEndDeliveryAndSayWhy) {
    const fs::path dir = test::scratchDirectory("failures");
    const fs::path source = makeClip("-f lavfi -i testsrc2=s=320x180:r=30:d=4" + kH264 + "-an", "mov");
    {
        // A frame of the wrong size: the writer refuses it.
        auto reader = std::move(*MovieReader::open(source));
        MovieWriter writer(dir / "refused.mov", 320, 180, EncodingRole::Intermediate);
        ASSERT_TRUE(writer.startRecording(*reader));
        const auto failure = failureOf(*reader, writer, [](const Image&, double) { return Image(8, 8); });
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->message, "Invalid argument");
        const Status finished = writer.finishRecording();
        ASSERT_FALSE(finished);
        EXPECT_EQ(finished.error(), "Invalid argument");
    }
    // The input is cut short after it was opened.
    const fs::path shrinking = dir / "shrinking.mov";
    fs::copy_file(source, shrinking, fs::copy_options::overwrite_existing);
    auto reader = std::move(*MovieReader::open(shrinking));
    MovieWriter writer(dir / "cut.mov", 320, 180, EncodingRole::Intermediate);
    ASSERT_TRUE(writer.startRecording(*reader));
    fs::resize_file(shrinking, fs::file_size(shrinking) / 5);
    const auto failure = failureOf(*reader, writer, {});
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->message, "the file became shorter while it was read");
}

// A movie cut in half reads like a shorter one to its demuxer; the reader
// holds it to the length its file announces (Matroska) or to its packets
// being whole (a transport stream). Memory that runs out fails the movie.
TEST(MovieTranscode, CutMoviesAndMemoryThatRunsOutFailTheMovie) {
    const fs::path dir = test::scratchDirectory("cut-movies");
    const std::string sources =
        "-f lavfi -i testsrc2=s=160x90:r=10:d=4 -f lavfi -i sine=d=4" + kH264 + "-c:a aac";
    const auto halfOf = [&](const fs::path& whole) {
        const fs::path half = dir / ("half." + whole.extension().string().substr(1));
        fs::copy_file(whole, half, fs::copy_options::overwrite_existing);
        // Off the 188-byte packet grid of a transport stream, as nearly every cut is.
        fs::resize_file(half, fs::file_size(half) / 2 + 94);
        return half;
    };
    const auto failureReading = [&](const fs::path& source, FrameOperation operation) {
        auto reader = std::move(*MovieReader::open(source));
        MovieWriter writer(dir / "out.mov", 160, 90, EncodingRole::Intermediate);
        EXPECT_TRUE(writer.startRecording(*reader));
        return failureOf(*reader, writer, std::move(operation));
    };
    const fs::path mkv = makeClip(sources, "mkv");
    const fs::path ts = makeClip(sources, "ts");
    for (const fs::path& whole : {mkv, ts})
        EXPECT_TRUE(transcode(whole, dir / "whole.mov", EncodingRole::Intermediate).finished) << whole;
    const auto cutMkv = failureReading(halfOf(mkv), {});
    ASSERT_TRUE(cutMkv);
    EXPECT_EQ(cutMkv->message.find("the movie is cut short: it ends at "), 0u) << cutMkv->message;
    EXPECT_NE(cutMkv->message.find("of the 4.0 s its file announces"), std::string::npos) << cutMkv->message;
    const auto cutTs = failureReading(halfOf(ts), {});
    ASSERT_TRUE(cutTs);
    // Its last packet is short, and an incomplete sound packet before it may be noticed first.
    EXPECT_TRUE(
        cutTs->message.starts_with("the movie is cut short: its last transport packet is incomplete") ||
        cutTs->message.starts_with("the movie is damaged: a packet of its audio track"))
        << cutTs->message;
    const auto outOfMemory =
        failureReading(mkv, [](const Image&, double) -> Image { throw std::bad_alloc(); });
    ASSERT_TRUE(outOfMemory);
    EXPECT_EQ(outOfMemory->message, "not enough memory");
}

}  // namespace
}  // namespace tintreel
