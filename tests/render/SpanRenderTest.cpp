// What a render carries over from its source. Rendering a span [in, out) of
// a movie: the cut's frames are exactly the whole render's frames from the
// one shown at `in` to the last before `out`, its clock starts at 0, its
// sound is the source's from `in` to the sample and its chapters are cut and
// moved with it. A whole render keeps the colours, shape, subtitles,
// chapters and creation time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "render/RenderFixtures.h"
#include "render/RenderWorker.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {
namespace fs = std::filesystem;

constexpr double kFrameSeconds = 1001.0 / 30000.0;
constexpr int kSampleRate = 48000;

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

// Nine seconds at 29.97 fps with B-frames and a key frame every 120 frames
// (0, 4.004 and 8.008 s), a chirp whose phase tells every sample from its
// neighbours, stored losslessly, and three chapters of three seconds.
// Each test process makes its own: tests running side by side must not
// empty the chapters' folder, or replace the clip, under one another.
fs::path chirpClip() {
    const fs::path chapters =
        test::scratchDirectory("span-chapters-" + std::to_string(::getpid())) / "chapters.txt";
    std::ofstream(chapters) << ";FFMETADATA1\n"
                            << "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=3000\ntitle=First\n"
                            << "[CHAPTER]\nTIMEBASE=1/1000\nSTART=3000\nEND=6000\ntitle=Second\n"
                            << "[CHAPTER]\nTIMEBASE=1/1000\nSTART=6000\nEND=9000\ntitle=Third\n";
    return test::makeClip(
        "-f lavfi -i testsrc2=s=320x180:r=30000/1001:d=9 -f lavfi -i "
        "'aevalsrc=0.5*sin(2*PI*(200*t+40*t*t)):s=48000:d=9' -i " +
            quoted(chapters) +
            " -map 0:v -map 1:a -map_metadata 2 -pix_fmt yuv420p -c:v libx264 -bf 2 -g 120 "
            "-sc_threshold 0 -c:a pcm_s16le",
        "mov");
}

RenderResult renderSpan(const fs::path& video, const fs::path& destination, std::optional<MovieSpan> span,
                        EncodingRole role) {
    RenderRequest request{defaultEffectSettings(), Image(),     video, destination.parent_path() / "tmp",
                          PassMode::One,           destination, role};
    request.span = span;
    return test::render(request).result;
}

// Every decoded video frame's MD5, from ffmpeg's framemd5.
std::vector<std::string> frameHashes(const fs::path& movie) {
    const std::optional<std::string> text =
        test::runCommand("ffmpeg -nostdin -loglevel error -i " + quoted(movie) + " -map 0:v:0 -f framemd5 -");
    std::vector<std::string> hashes;
    std::istringstream lines(text.value_or(""));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.rfind(',') + 2));
    return hashes;
}

// The times of the video frames as stored, in seconds.
std::vector<double> frameTimes(const fs::path& movie) {
    std::vector<double> times;
    for (const std::string& time :
         test::probeValues(movie, "-select_streams v:0 -show_entries frame=pts_time", "pts_time"))
        times.push_back(std::stod(time));
    return times;
}

// The first audio track as mono float samples at 48 kHz.
std::vector<float> decodedSamples(const fs::path& movie) {
    const fs::path raw = movie.parent_path() / (movie.stem().string() + ".f32");
    test::runCommand("ffmpeg -nostdin -y -loglevel error -i " + quoted(movie) +
                     " -map 0:a:0 -ac 1 -ar 48000 -f f32le " + quoted(raw));
    std::ifstream in(raw, std::ios::binary);
    std::vector<float> samples;
    for (float sample; in.read(reinterpret_cast<char*>(&sample), sizeof sample);) samples.push_back(sample);
    return samples;
}

double meanDistance(const std::vector<float>& a, std::size_t from, const std::vector<float>& b,
                    std::size_t count) {
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) sum += std::abs(a.at(from + i) - b.at(i));
    return sum / static_cast<double>(count);
}

TEST(SpanRender, CutFramesAreTheWholeRendersFramesOfTheSpan) {
    const fs::path clip = chirpClip();
    ASSERT_FALSE(clip.empty());
    // Rotated: the frames turn upright before the cut, the same in both renders.
    const std::pair<std::string, fs::path> sources[] = {{"plain", clip},
                                                        {"rotated", test::withRotationTag(clip, 90)}};
    // In points on a key frame, just after one, and between two (decoded from the key frame before).
    const std::pair<double, double> spans[] = {{4.004, 6.0}, {5.0, 7.5}, {0.5, 2.0}};
    for (const auto& [name, source] : sources) {
        const fs::path dir = test::scratchDirectory("span-frames-" + name);
        ASSERT_EQ(renderSpan(source, dir / "whole.mkv", std::nullopt, EncodingRole::Intermediate).outcome,
                  RenderOutcome::Succeeded);
        const std::vector<std::string> whole = frameHashes(dir / "whole.mkv");
        ASSERT_EQ(whole.size(), 270u);
        for (const auto& [in, out] : spans) {
            SCOPED_TRACE(name + " " + std::to_string(in) + "-" + std::to_string(out));
            const fs::path cut = dir / ("cut" + std::to_string(in) + ".mkv");
            ASSERT_EQ(renderSpan(source, cut, MovieSpan{in, out}, EncodingRole::Intermediate).outcome,
                      RenderOutcome::Succeeded);
            const std::vector<std::string> frames = frameHashes(cut);
            // The frame shown at `in` is the last at or before it; the last is the last before `out`.
            const auto first = static_cast<std::size_t>(std::floor(in / kFrameSeconds + 1e-6));
            const auto last = static_cast<std::size_t>(std::ceil(out / kFrameSeconds - 1e-6)) - 1;
            ASSERT_EQ(frames.size(), last - first + 1);
            for (std::size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(frames[i], whole[first + i]) << i;
            // The clock starts at `in` (Matroska may start every track a few
            // milliseconds late to leave room for the sound's encoder delay).
            const std::vector<double> times = frameTimes(cut);
            ASSERT_EQ(times.size(), frames.size());
            EXPECT_NEAR(times[0], 0.0, 0.01);
            EXPECT_NEAR(times[1] - times[0], (first + 1) * kFrameSeconds - in, 2e-3);
        }
    }
}

TEST(SpanRender, SoundAndChaptersFollowTheCut) {
    const fs::path clip = chirpClip();
    ASSERT_FALSE(clip.empty());
    const fs::path dir = test::scratchDirectory("span-sound");
    const std::vector<float> source = decodedSamples(clip);
    ASSERT_EQ(source.size(), 9u * kSampleRate);
    const double in = 4.5, out = 7.25;
    // AAC in the MPEG-4 family, Opus (at 48 kHz) in Matroska.
    for (const std::string extension : {"mp4", "mkv"}) {
        SCOPED_TRACE(extension);
        const fs::path cut = dir / ("cut." + extension);
        ASSERT_EQ(renderSpan(clip, cut, MovieSpan{in, out}, EncodingRole::Final).outcome,
                  RenderOutcome::Succeeded);
        EXPECT_EQ(test::probeStream(cut, "a:0")->codec, extension == "mp4" ? "aac" : "opus");
        const std::vector<float> samples = decodedSamples(cut);
        const double expected = (out - in) * kSampleRate;
        EXPECT_NEAR(static_cast<double>(samples.size()), expected, 1024.0);
        // The cut's first samples are the source's at `in`; a few samples
        // off in either direction already differ clearly.
        const auto at = static_cast<std::size_t>(std::llround(in * kSampleRate));
        const double same = meanDistance(source, at, samples, 4800);
        EXPECT_LT(same, 0.02);
        EXPECT_GT(meanDistance(source, at + 24, samples, 4800), 5 * same);
        EXPECT_GT(meanDistance(source, at - 24, samples, 4800), 5 * same);
        // Chapters: "First" ends before the cut, "Second" is cut to its last 1.5 s, "Third" at 1.5 s.
        EXPECT_EQ(test::probeValues(cut, "-show_entries chapter_tags=title", "TAG:title"),
                  (std::vector<std::string>{"Second", "Third"}));
        const std::vector<std::string> starts = test::probeValues(cut, "-show_chapters", "start_time");
        const std::vector<std::string> ends = test::probeValues(cut, "-show_chapters", "end_time");
        ASSERT_EQ(starts.size(), 2u);
        ASSERT_EQ(ends.size(), 2u);
        EXPECT_NEAR(std::stod(starts[0]), 0.0, 1e-3);
        EXPECT_NEAR(std::stod(ends[0]), 1.5, 1e-3);
        EXPECT_NEAR(std::stod(starts[1]), 1.5, 1e-3);
        EXPECT_NEAR(std::stod(ends[1]), out - in, 1e-3);
    }
}

std::string first(const fs::path& file, const std::string& arguments, const std::string& key) {
    const auto values = test::probeValues(file, arguments, key);
    return values.empty() ? "" : values.front();
}

// A whole render, in either mode, keeps what its source carries besides
// pictures and sound. The per-effect mode reads RGB intermediates, so its
// last pass must take the description from the original movie.
TEST(CarriedOverRender, BothModesKeepColoursShapeSubtitlesAndChapters) {
    // BT.709 at a size whose default is BT.601, with 4:3 pixels.
    const fs::path source = test::clipWithExtras("mp4", "aac", "mov_text",
                                                 "-vf setsar=4/3,scale=out_color_matrix=bt709 -colorspace "
                                                 "bt709 -color_primaries bt709 -color_trc bt709");
    EffectSettings settings = defaultEffectSettings();
    settings.sliderBrightness = 0.002f;
    settings.sliderContrast = 1.01f;
    for (const PassMode mode : {PassMode::One, PassMode::Each}) {
        SCOPED_TRACE(mode == PassMode::One ? "one pass" : "a pass per effect");
        const fs::path dir = test::scratchDirectory("carried-over");
        const fs::path destination = dir / "out.mp4";
        ASSERT_EQ(test::render({settings, Image(), source, dir / "work", mode, destination}).result.outcome,
                  RenderOutcome::Succeeded);
        const std::string video = "-select_streams v:0 -show_entries stream=";
        EXPECT_EQ(first(destination, video + "color_space", "color_space"), "bt709");
        EXPECT_EQ(first(destination, video + "color_primaries", "color_primaries"), "bt709");
        EXPECT_EQ(first(destination, video + "sample_aspect_ratio", "sample_aspect_ratio"), "4:3");
        EXPECT_EQ(first(destination, "-select_streams s -show_entries stream=codec_name", "codec_name"),
                  "mov_text");
        EXPECT_EQ(test::probeStream(destination, "s:0")->packets, test::probeStream(source, "s:0")->packets);
        EXPECT_EQ(test::probeValues(destination, "-show_entries chapter_tags=title", "TAG:title"),
                  (std::vector<std::string>{"Opening", "Ending"}));
        EXPECT_EQ(first(destination, "-show_entries format_tags=creation_time", "TAG:creation_time"),
                  "2024-05-06T07:08:09.000000Z");
    }
}

}  // namespace
}  // namespace tintreel
