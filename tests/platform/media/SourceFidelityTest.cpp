// What a render keeps of its source besides pictures and sound: the colour
// description and the colours themselves, the pixels' shape, progressive
// pictures from interlaced ones, subtitles, chapters and metadata. Judged by
// ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <tuple>
#include <utility>

#include "Transcode.h"
#include "platform/media/ColourDescription.h"
#include "platform/media/FrameImage.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaInput.h"
#include "platform/media/Remux.h"
#include "platform/system/Log.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::makeClip;
using test::probeValues;

std::string videoFact(const fs::path& file, const std::string& key) {
    const auto values = probeValues(file, "-select_streams v:0 -show_entries stream=" + key, key);
    return values.empty() ? "" : values.front();
}

std::string colourTags(const fs::path& file) {
    return videoFact(file, "color_space") + "/" + videoFact(file, "color_primaries") + "/" +
           videoFact(file, "color_transfer") + "/" + videoFact(file, "color_range");
}

fs::path renderedUnchanged(const fs::path& source, const std::string& name) {
    const fs::path output =
        test::scratchDirectory("fidelity-" + name) / ("out" + source.extension().string());
    EXPECT_TRUE(test::transcode(source, output, EncodingRole::Final).finished) << name;
    return output;
}

// Deep and HDR sources render at eight bits, saying so in one line; eight-bit
// ones say nothing.
TEST(SourceFidelity, ColourDescriptionAndColoursSurviveARender) {
    struct Case {
        std::string name, size, encoding, expectedTags;
        int width, height;
        std::string extension = "mp4", line = "";  // the one line logged, if any
    };
    // Each clip is made with the matrix it is read with, so that its colours are within RGB's range.
    const std::string as709 = "-vf scale=out_color_matrix=bt709 -pix_fmt yuv420p ";
    const std::string tagged709 = as709 + "-colorspace bt709 -color_primaries bt709 -color_trc bt709";
    const std::string tagged601 =
        "-pix_fmt yuv420p -colorspace smpte170m -color_primaries smpte170m -color_trc smpte170m";
    const std::string tenBit = "-pix_fmt yuv420p10le ";
    const Case cases[] = {
        // Tags win over the size rule both ways.
        {"bt709 at SD size", "320x180", tagged709, "bt709/bt709/bt709/tv", 320, 180},
        {"bt601 at HD size", "1280x720", tagged601, "smpte170m/smpte170m/smpte170m/tv", 1280, 720},
        {"full range", "320x180", "-pix_fmt yuvj420p", "smpte170m/smpte170m/smpte170m/pc", 320, 180},
        // Untagged: BT.709 from HD sizes on, BT.601 below.
        {"untagged HD", "1280x720", as709, "bt709/bt709/bt709/tv", 1280, 720},
        {"untagged SD", "640x360", "-pix_fmt yuv420p", "smpte170m/smpte170m/smpte170m/tv", 640, 360},
        {"ten-bit", "320x180", tenBit, "smpte170m/smpte170m/smpte170m/tv", 320, 180, "mp4",
         "The source has 10 bits per sample: rendered at 8 bits"},
        {"hdr", "320x180", tenBit + "-colorspace bt2020nc -color_primaries bt2020 -color_trc smpte2084",
         "bt2020nc/bt2020/smpte2084/tv", 320, 180, "mov",
         "The source is HDR (smpte2084, 10 bits): rendered at 8 bits"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path source = makeClip(
            "-f lavfi -i testsrc2=s=" + c.size + ":r=25:d=0.4 " + c.encoding + " -c:v libx264 -crf 10",
            c.extension);
        ScopedLogCapture log;
        const fs::path output = renderedUnchanged(source, "colours-" + std::to_string(&c - cases));
        EXPECT_EQ(log.lines().size(), c.line.empty() ? 0u : 1u);
        EXPECT_EQ(colourTags(output), c.expectedTags);
        if (!c.line.empty()) {
            EXPECT_EQ(log.countStartingWith(c.line), 1);
            EXPECT_EQ(videoFact(output, "pix_fmt"), "yuv420p");
            continue;
        }
        // The same samples up to the encoder's loss and the chroma's trip
        // through 4:4:4 (both under 2 levels on these bars); a matrix used in
        // one direction only moves luma by about 17 levels, a range by more.
        const auto difference = test::meanPlaneDifference(source, output, c.width, c.height);
        ASSERT_TRUE(difference);
        EXPECT_LT((*difference)[0], 1.5);
        EXPECT_LT((*difference)[1], 3.0);
        EXPECT_LT((*difference)[2], 3.0);
    }
}

TEST(SourceFidelity, DamagedColourTagsCountAsUnspecified) {
    // A damaged stream can leave numbers in the frame's tags that name no
    // colour at all (found by fuzzing); they are read as "says nothing",
    // while real tags beside them are kept.
    const auto frame = media::makeFrame();
    const auto store = [](auto& field, int raw) { std::memcpy(&field, &raw, sizeof raw); };
    store(frame->colorspace, 1000);
    store(frame->color_primaries, 253);
    store(frame->color_trc, -5);
    store(frame->color_range, 99);
    media::ColourDescription read = media::ColourDescription::of(*frame);
    EXPECT_EQ(read, media::ColourDescription{});
    EXPECT_EQ(read.completed(640, 360), media::ColourDescription{}.completed(640, 360));

    store(frame->color_primaries, 13);  // between two named values
    store(frame->color_trc, AVCOL_TRC_BT709);
    store(frame->color_range, AVCOL_RANGE_JPEG);
    read = media::ColourDescription::of(*frame);
    EXPECT_EQ(read.primaries, AVCOL_PRI_UNSPECIFIED);
    EXPECT_EQ(read.transfer, AVCOL_TRC_BT709);
    EXPECT_TRUE(read.isFullRange());
}

TEST(SourceFidelity, StillFramesAreDecodedWithTheSourceMatrix) {
    // Saturated bars, where BT.601 and BT.709 give visibly different RGB.
    const fs::path source = makeClip(
        "-f lavfi -i smptehdbars=s=320x180:r=25:d=0.4 -vf scale=out_color_matrix=bt709 -pix_fmt yuv420p "
        "-colorspace bt709 -color_primaries bt709 "
        "-color_trc bt709 -c:v libx264 -crf 10",
        "mp4");
    const std::optional<Image> ours = FrameImageAtTime(source, 0.0);
    const auto as709 =
        test::ffmpegFrame(source, 0.0, "scale=in_color_matrix=bt709:flags=" + test::kExactRgbFlags);
    const auto as601 =
        test::ffmpegFrame(source, 0.0, "scale=in_color_matrix=bt601:flags=" + test::kExactRgbFlags);
    ASSERT_TRUE(ours && as709 && as601);
    const double from709 = test::meanDifference(*ours, *as709), from601 = test::meanDifference(*ours, *as601);
    EXPECT_LT(from709, 1.0) << from601;
    EXPECT_GT(from601, 3 * from709) << from709;
}

// A 4:2:0 frame of noise of the given size, the same levels at the same
// places whatever the size, chroma within what pictures hold. Its planes,
// one after the other, are appended to `raw` when given.
media::FramePtr noiseFrame(int w, int h, std::ofstream* raw = nullptr) {
    media::FramePtr frame = media::makeFrame();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = w, frame->height = h;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
    for (int plane = 0; plane < 3; ++plane)
        for (int y = 0; y < (plane ? (h + 1) / 2 : h); ++y)
            for (int x = 0; x < (plane ? (w + 1) / 2 : w); ++x) {
                std::mt19937 random(static_cast<unsigned>(plane * 1000003 + y * 1009 + x));
                const auto level = static_cast<std::uint8_t>(plane ? 32 + random() % 193 : random() % 256);
                frame->data[plane][y * frame->linesize[plane] + x] = level;
                if (raw) raw->put(static_cast<char>(level));
            }
    return frame;
}

double meanLevel(const Image& image, int channel) {
    double sum = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < image.byteCount(); i += Image::kChannels)
        sum += image.data()[i];
    return sum / static_cast<double>(image.byteCount() / Image::kChannels);
}

// Our own 4:2:0 conversion, on noise, which shows every step of the
// chroma's interpolation, against the library's exact path from the same
// planes: limited range BT.601 and full range BT.709, at most a level apart
// for rounding. And a picture a column and a row short of a whole number of
// vectors (where the last column and row take their chroma from the edge)
// is the same picture cropped.
TEST(SourceFidelity, FourTwoZeroPicturesAreConvertedAsTheLibraryDoesExactly) {
    constexpr int w = 352, h = 188, kBorder = 3;
    const fs::path raw = test::scratchDirectory("four-two-zero") / "noise.yuv";
    std::ofstream file(raw, std::ios::binary);
    const media::FramePtr frame = noiseFrame(w, h, &file), shorter = noiseFrame(w - 1, h - 1);
    file.close();
    ASSERT_TRUE(frame && shorter);
    const std::pair<AVColorSpace, AVColorRange> matrices[] = {{AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG},
                                                              {AVCOL_SPC_BT709, AVCOL_RANGE_JPEG}};
    for (const auto& [matrix, range] : matrices) {
        SCOPED_TRACE(av_color_space_name(matrix));
        frame->colorspace = shorter->colorspace = matrix;
        frame->color_range = shorter->color_range = range;
        const std::optional<Image> ours = media::RgbaConverter().convert(*frame);
        const auto theirs = test::runCommand(
            "ffmpeg -nostdin -loglevel error -f rawvideo -pix_fmt yuv420p -s 352x188 -i " + raw.string() +
            " -vf scale=in_color_matrix=" + (matrix == AVCOL_SPC_BT709 ? "bt709" : "bt601") +
            ":in_range=" + (range == AVCOL_RANGE_JPEG ? "full" : "limited") +
            ":flags=" + test::kExactRgbFlags + " -f rawvideo -pix_fmt rgba -");
        ASSERT_TRUE(ours && theirs);
        ASSERT_EQ(theirs->size(), ours->byteCount());
        // Within three pixels of the border the library weighs the missing
        // samples its own way, where we repeat the edge one.
        int largest = 0;
        double sum = 0;
        for (std::size_t i = 0; i < ours->byteCount(); ++i) {
            const int difference = std::abs(ours->data()[i] - static_cast<std::uint8_t>((*theirs)[i]));
            const int x = static_cast<int>(i / 4 % w), y = static_cast<int>(i / 4 / w);
            if (x >= kBorder && x < w - kBorder && y >= kBorder && y < h - kBorder)
                largest = std::max(largest, difference);
            sum += difference;
        }
        EXPECT_LE(largest, 1);
        EXPECT_LT(sum / static_cast<double>(ours->byteCount()), 0.05);

        // A smaller preview (the library's path) has the same colours on average.
        const std::optional<Image> half = media::RgbaConverter().convert(*frame, 2);
        ASSERT_TRUE(half);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(meanLevel(*half, c), meanLevel(*ours, c), 0.5) << "channel " << c;

        const std::optional<Image> cropped = media::RgbaConverter().convert(*shorter);
        ASSERT_TRUE(cropped);
        for (int y = 0; y < h - 1; ++y)
            ASSERT_EQ(std::memcmp(cropped->row(y), ours->row(y), cropped->stride()), 0) << "row " << y;
    }
}

// Frames ffmpeg's field detector calls interlaced (top or bottom field first) and progressive.
std::pair<int, int> interlacedAndProgressive(const fs::path& file) {
    const auto text = test::runCommand("ffmpeg -nostdin -i '" + file.string() + "' -vf idet -f null - 2>&1");
    const size_t at = text ? text->rfind("Multi frame detection:") : std::string::npos;
    if (at == std::string::npos) return {-1, -1};
    int top = 0, bottom = 0, progressive = 0;
    std::sscanf(text->c_str() + at, "Multi frame detection: TFF: %d BFF: %d Progressive: %d", &top, &bottom,
                &progressive);
    return {top + bottom, progressive};
}

TEST(SourceFidelity, InterlacedSourcesComeOutProgressive) {
    // Bars scrolling sideways, woven into fields, coded as interlaced, top field first.
    const fs::path source = makeClip(
        "-f lavfi -i testsrc2=s=320x240:r=50:d=1.2 -vf scroll=horizontal=0.02,interlace,setfield=tff "
        "-flags +ilme+ildct -top 1 "
        "-pix_fmt yuv420p -c:v libx264",
        "mp4");
    ASSERT_EQ(videoFact(source, "field_order"), "tt");
    const auto [combedIn, progressiveIn] = interlacedAndProgressive(source);
    ASSERT_GT(combedIn, 20) << "the fixture is not interlaced";

    const fs::path output = renderedUnchanged(source, "interlaced");
    EXPECT_EQ(videoFact(output, "field_order"), "progressive");
    const auto [combedOut, progressiveOut] = interlacedAndProgressive(output);
    EXPECT_GT(progressiveOut, 3 * combedOut);
    EXPECT_EQ(test::probeStream(output, "v:0")->frames, test::probeStream(source, "v:0")->frames);

    // The still preview is deinterlaced the same way: as ffmpeg's own bwdif shows the frame.
    const std::optional<Image> still = FrameImageAtTime(source, 0.6);
    const auto deinterlaced =
        test::ffmpegFrame(source, 0.0, "'bwdif=mode=send_frame:parity=auto:deint=all,select=gte(t\\,0.6)'");
    const auto woven = test::ffmpegFrame(source, 0.0, "'select=gte(t\\,0.6)'");
    ASSERT_TRUE(still && deinterlaced && woven);
    const double fromDeinterlaced = test::meanDifference(*still, *deinterlaced);
    const double fromWoven = test::meanDifference(*still, *woven);
    EXPECT_LT(fromDeinterlaced, 2.0) << fromWoven;
    EXPECT_GT(fromWoven, 5 * fromDeinterlaced) << fromDeinterlaced;
}

TEST(SourceFidelity, AnamorphicPixelsKeepTheirShape) {
    const fs::path source = makeClip(
        "-f lavfi -i testsrc2=s=480x360:r=25:d=0.4 -vf setsar=4/3 -pix_fmt yuv420p -c:v libx264", "mp4");
    const VideoTrack track = *MediaAsset::open(source).firstVideoTrack();
    EXPECT_EQ(track.sampleAspect, (SampleAspect{4, 3}));
    EXPECT_EQ(displaySize(uprightOrientation(track)), (DisplaySize{640, 360}));

    for (const std::string extension : {"mp4", "mkv"}) {
        const fs::path output = test::scratchDirectory("anamorphic") / ("out." + extension);
        ASSERT_TRUE(test::transcode(source, output, EncodingRole::Final).finished);
        EXPECT_EQ(videoFact(output, "sample_aspect_ratio"), "4:3") << extension;
        EXPECT_EQ(videoFact(output, "width"), "480") << "the pixels stay as stored";
    }
}

TEST(SourceFidelity, DisplaySizeFollowsThePixelsAndTheTurn) {
    const auto shown = [](int width, int height, SampleAspect aspect, PreferredTransform transform = {}) {
        return displaySize(uprightOrientation(VideoTrack{width, height, transform, aspect}));
    };
    EXPECT_EQ(shown(640, 360, {1, 1}), (DisplaySize{640, 360}));
    EXPECT_EQ(shown(720, 576, {16, 15}), (DisplaySize{768, 576}));  // PAL 4:3
    EXPECT_EQ(shown(720, 480, {32, 27}), (DisplaySize{853, 480}));  // NTSC 16:9, rounded
    EXPECT_EQ(shown(1440, 1080, {4, 3}), (DisplaySize{1920, 1080}));
    EXPECT_EQ(shown(3, 2, {1, 8}), (DisplaySize{1, 2})) << "never narrower than a pixel";
    // A quarter turn: the stored 480x360 of 4:3 pixels stands as 360x480 of 3:4 pixels, 270 wide.
    const PreferredTransform portrait{0, 1, -1, 0};
    EXPECT_EQ(uprightOrientation(VideoTrack{480, 360, portrait, {4, 3}}).sampleAspect, (SampleAspect{3, 4}));
    EXPECT_EQ(shown(480, 360, {4, 3}, portrait), (DisplaySize{270, 480}));
    EXPECT_EQ(shown(480, 360, {4, 3}, {-1, 0, 0, -1}), (DisplaySize{640, 360}));
}

struct CarriedFacts {
    std::vector<std::string> subtitleCodecs, subtitleLanguages, chapterTitles, chapterStarts;
    std::string creationTime, title;
    long subtitlePackets = 0;
};

CarriedFacts carriedFacts(const fs::path& file) {
    const auto one = [&](const std::string& entries, const std::string& key) {
        const auto values = probeValues(file, "-show_entries " + entries, key);
        return values.empty() ? std::string() : values.front();
    };
    const auto subtitle = test::probeStream(file, "s:0");
    return {probeValues(file, "-select_streams s -show_entries stream=codec_name", "codec_name"),
            probeValues(file, "-select_streams s -show_entries stream_tags=language", "TAG:language"),
            probeValues(file, "-show_entries chapter_tags=title", "TAG:title"),
            probeValues(file, "-show_entries chapter=start_time", "start_time"),
            one("format_tags=creation_time", "TAG:creation_time"),
            one("format_tags=title", "TAG:title"),
            subtitle ? subtitle->packets : 0};
}

TEST(SourceFidelity, SubtitlesChaptersAndCreationTimeAreKept) {
    const fs::path dir = test::scratchDirectory("extras");
    const fs::path mp4 = test::clipWithExtras("mp4", "aac", "mov_text");
    const fs::path mkv = test::clipWithExtras("mkv", "libopus", "srt");
    const std::pair<fs::path, fs::path> renders[] = {
        {mp4, dir / "from-mp4.mp4"}, {mp4, dir / "from-mp4.mov"}, {mkv, dir / "from-mkv.mkv"}};
    for (const auto& [source, output] : renders)
        ASSERT_TRUE(test::transcode(source, output, EncodingRole::Final).finished) << output;
    // Saving under another name re-muxes: the same facts must survive that too.
    ASSERT_TRUE(remuxMovie(dir / "from-mp4.mp4", dir / "remuxed.mov").ok());
    for (const auto& [source, output] :
         {renders[0], renders[1], renders[2], std::pair{mp4, dir / "remuxed.mov"}}) {
        const CarriedFacts in = carriedFacts(source), out = carriedFacts(output);
        ASSERT_EQ(in.subtitleCodecs.size(), 1u) << source;
        EXPECT_EQ(out.subtitleCodecs, in.subtitleCodecs) << output;
        EXPECT_EQ(out.subtitleLanguages, std::vector<std::string>{"fra"}) << output;
        EXPECT_EQ(out.subtitlePackets, in.subtitlePackets) << output;
        EXPECT_EQ(out.chapterTitles, (std::vector<std::string>{"Opening", "Ending"})) << output;
        EXPECT_EQ(out.chapterStarts, in.chapterStarts) << output;
        EXPECT_EQ(out.creationTime, "2024-05-06T07:08:09.000000Z") << output;
        EXPECT_EQ(out.title, "Clip title") << output;
    }
    // A container that cannot hold the subtitle codec drops that track, says
    // so, and keeps the rest.
    const std::tuple<fs::path, std::string, std::string> refusals[] = {
        {mkv, "srt-into.mp4", "subrip is not accepted by mp4"},
        {mp4, "mov_text-into.mkv", "mov_text is not accepted by matroska"}};
    for (const auto& [source, name, why] : refusals) {
        ScopedLogCapture log;
        ASSERT_TRUE(test::transcode(source, dir / name, EncodingRole::Final).finished) << name;
        EXPECT_EQ(log.countStartingWith("Subtitle track not copied: " + why), 1) << name;
        const CarriedFacts out = carriedFacts(dir / name);
        EXPECT_TRUE(out.subtitleCodecs.empty()) << name;
        EXPECT_EQ(out.chapterTitles, (std::vector<std::string>{"Opening", "Ending"})) << name;
        EXPECT_EQ(out.creationTime, "2024-05-06T07:08:09.000000Z") << name;
    }
}

}  // namespace
}  // namespace tintreel
