// OUTPUT.gif and OUTPUT.webp, run as the real program on generated clips:
// the frame rate and width caps, the shape, one palette of at most 256
// colours, endless looping, no sound with a line saying so, the refusals,
// and a cancel that leaves nothing behind.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "cli/CliProgram.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

constexpr const char* kNoSoundLine = "An animated picture has no sound";

// `seconds` of a moving pattern at `size` and 30 fps with a tone.
fs::path clip(const std::string& size, int seconds) {
    const std::string d = std::to_string(seconds);
    return test::makeClip("-f lavfi -i testsrc2=s=" + size + ":r=30:d=" + d + " -f lavfi -i sine=d=" + d +
                              " -pix_fmt yuv420p -c:v libx264 -c:a aac",
                          "mp4");
}

long occurrences(const std::string& text, const std::string& what) {
    long count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// The distinct colours of every frame of `picture`, as ffmpeg decodes it.
std::set<std::array<char, 3>> coloursOf(const fs::path& picture, const fs::path& dir) {
    const fs::path raw = dir / "frames.rgb";
    EXPECT_TRUE(test::runCommand("ffmpeg -nostdin -v error -y -i '" + picture.string() +
                                 "' -f rawvideo -pix_fmt rgb24 '" + raw.string() + "'"));
    const std::string pixels = test::fileContents(raw);
    std::set<std::array<char, 3>> colours;
    for (std::size_t i = 0; i + 2 < pixels.size(); i += 3)
        colours.insert({pixels[i], pixels[i + 1], pixels[i + 2]});
    fs::remove(raw);
    return colours;
}

TEST(AnimationOutput, GifKeepsToTheCapsAndOnePalette) {
    const fs::path dir = test::scratchDirectory("gif-out");
    const fs::path wide = clip("640x360", 3);
    const fs::path narrow = clip("320x240", 3);
    // Options, source, expected frames, width, height.
    const std::vector<std::tuple<QStringList, fs::path, long, int, int>> cases{
        {{}, wide, 45, 480, 270},  // 30 fps capped at 15, 640 wide capped at 480
        {{"--fps", "10", "--width", "200"}, wide, 30, 200, 112},
        {{"--fps=60"}, narrow, 90, 320, 240},        // a slower movie keeps its own rate and size
        {{"--width", "161"}, narrow, 45, 160, 120},  // sizes are even
    };
    for (const auto& [options, source, frames, width, height] : cases) {
        SCOPED_TRACE(options.join(' ').toStdString());
        const fs::path output = dir / "out.gif";
        const test::CliRun run = test::runCli(
            QStringList{"-y", "-o", q(output), "--set", "checkSepia=1"} + options + QStringList{q(source)},
            dir);
        ASSERT_EQ(run.status, 0) << run.errors << run.output;
        const auto video = test::probeStream(output, "v:0");
        ASSERT_TRUE(video);
        EXPECT_EQ(video->codec, "gif");
        EXPECT_EQ(video->frames, frames);
        EXPECT_EQ(video->width, width);
        EXPECT_EQ(video->height, height);
        EXPECT_FALSE(test::probeStream(output, "a:0"));
        EXPECT_NE(run.output.find(kNoSoundLine), std::string::npos) << run.output;
        const std::string bytes = test::fileContents(output);
        // The looping extension with a count of 0: forever.
        EXPECT_NE(bytes.find(std::string("NETSCAPE2.0\x03\x01\x00\x00", 16)), std::string::npos);
        const std::size_t colours = coloursOf(output, dir).size();
        EXPECT_LE(colours, 256u);
        EXPECT_GT(colours, 64u);  // the pattern's many colours get a full palette, not a handful
    }
}

TEST(AnimationOutput, WebpIsAnAnimationThatLoops) {
    const fs::path dir = test::scratchDirectory("webp-out");
    const fs::path output = dir / "out.webp";
    const test::CliRun run = test::runCli({"-o", q(output), "--width", "240", q(clip("640x360", 2))}, dir);
    ASSERT_EQ(run.status, 0) << run.errors << run.output;
    const std::string bytes = test::fileContents(output);
    ASSERT_GT(bytes.size(), 30u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 4), "WEBP");
    EXPECT_EQ(occurrences(bytes, "ANMF"), 30);  // 2 s at the 15 fps cap
    const std::size_t anim = bytes.find("ANIM");
    ASSERT_NE(anim, std::string::npos);
    EXPECT_EQ(bytes.substr(anim + 12, 2), std::string("\0\0", 2));  // loop count 0: forever
    // The canvas: 24-bit width and height less one, after the VP8X flags.
    const std::size_t vp8x = bytes.find("VP8X");
    ASSERT_NE(vp8x, std::string::npos);
    const auto u24 = [&](std::size_t at) {
        return (static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8 |
                static_cast<unsigned char>(bytes[at + 2]) << 16) +
               1;
    };
    EXPECT_EQ(u24(vp8x + 12), 240);
    EXPECT_EQ(u24(vp8x + 15), 136);  // 240 x 135 rounded to even
    EXPECT_NE(run.output.find(kNoSoundLine), std::string::npos);
}

TEST(AnimationOutput, RefusesBadOptionsAndWritesNothing) {
    const fs::path dir = test::scratchDirectory("gif-refused");
    const fs::path input = clip("320x240", 1);
    const std::vector<std::tuple<QString, QStringList, std::string>> cases{
        {"out.gif", {"--fps", "0"}, "--fps takes a whole number of frames a second, at least 1, got \"0\""},
        {"out.gif", {"--fps", "-2"}, "--fps takes a whole number of frames a second, at least 1"},
        {"out.webp", {"--width", "0"}, "--width takes a width in pixels, at least 2, got \"0\""},
        {"out.gif", {"--width=-480"}, "--width takes a width in pixels, at least 2"},
        {"out.gif", {"--max-size", "1M"}, "an animated .gif picture has no bit rate to fit a file size"},
        {"out.webp", {"--codec", "vp9"}, "an animated .webp picture has no video codec to choose"},
        {"out.mp4", {"--fps", "10"}, "--fps and --width shape an animated .gif or .webp OUTPUT, not a movie"},
    };
    for (const auto& [name, options, why] : cases) {
        SCOPED_TRACE(why);
        const test::CliRun run = test::runCli(
            QStringList{"-o", q(dir / name.toStdString())} + options + QStringList{q(input)}, dir);
        test::expectRefusal(run, why);
        EXPECT_EQ(test::runCommand("ls -A '" + dir.string() + "'"), "");
    }
}

TEST(AnimationOutput, CancelledGifLeavesNothing) {
    const fs::path dir = test::scratchDirectory("gif-cancelled");
    const fs::path output = dir / "out.gif";
    const test::CliRun run = test::runCli({"-o", q(output), q(clip("640x360", 8))}, dir, 300, SIGINT);
    EXPECT_EQ(run.status, 130) << run.errors;
    EXPECT_EQ(test::runCommand("ls -A '" + dir.string() + "'"), "");
}

}  // namespace
}  // namespace tintreel
