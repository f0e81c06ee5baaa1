// The movie modes of tintreel-render, run as the real program on generated
// clips: the rendered OUTPUT, progress on standard error, the still of a
// movie frame, and how often INPUT is opened.
//
// The final movie takes the container OUTPUT's name says, with the codec,
// quality, speed, height and file size the options ask for; every audio
// track is kept, copied or re-encoded with a line; what cannot be written is refused with
// status 2 before anything is read. Movies in containers our writer does not
// write (Matroska, WebM, AVI, MPEG-TS) render into H.264 in MPEG-4 with every
// frame; files that only wear a movie extension, or are no movie at all, are
// refused with the usual one-line messages. Animated GIF and WebP pictures
// too. Judged by ffprobe.
#include <gtest/gtest.h>

#include <QString>
#include <algorithm>
#include <array>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "cli/CliProgram.h"
#include "platform/filters/Picture.h"
#include "platform/media/MovieSource.h"
#include "render/RenderJob.h"
#include "settings/ControlCatalogue.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::q;

constexpr const char* kLeanLine = "the encoder's best picture needs no more";

// `size` at 30 fps with a mono tone.
fs::path clip(const std::string& extension, double seconds, const std::string& size = "320x180") {
    const std::string d = std::to_string(seconds);
    return test::makeClip("-f lavfi -i testsrc2=s=" + size + ":r=30:d=" + d + " -f lavfi -i sine=r=8000:d=" +
                              d + " -ac 1 -pix_fmt yuv420p -c:v libx264 -c:a aac",
                          extension);
}

TEST(MovieCommand, StillOfAMovieFrameIsUpright) {
    const fs::path dir = test::scratchDirectory("cli-still");
    const fs::path portrait = test::withRotationTag(clip("mov", 1), 270);
    const test::CliRun run = test::runCli(
        {"--still", "0.5", "-o", q(dir / "frame.png"), "--set", "checkSepia=1", q(portrait)}, dir);
    ASSERT_EQ(run.status, 0) << run.errors;
    const auto frame = loadPicture((dir / "frame.png").string());
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width(), 180);
    EXPECT_EQ(frame->height(), 320);
}

// A one-pass render of one INPUT opens it once: the checks, the watermark's
// timing and the pass read one probe. Counted in the process through the
// media layer, and, where strace can watch the real program, as every
// open or openat call naming INPUT, failed ones included.
TEST(MovieCommand, AOnePassRenderOpensItsInputOnce) {
    const fs::path dir = test::scratchDirectory("cli-opens");
    const fs::path input = clip("mov", 0.5);
    EffectSettings settings = defaultEffectSettings();
    settings.checkSepia = 1;
    settings.checkTextWatermark = 1;
    const RenderJob job{{input, dir / "out.mov"}, ExistingOutput::Fail};
    const long long before = inputOpenCount(input);
    JobWatcher watcher;
    const std::atomic<bool> cancel{false};
    ASSERT_EQ(runRenderJob(job, {settings, Image(), RenderSettings{}, PassMode::One}, cancel, watcher).state,
              JobState::Done);
    EXPECT_EQ(inputOpenCount(input) - before, 1);
    EXPECT_TRUE(fs::exists(job.files.output));

    if (!test::runCommand("command -v strace")) GTEST_SKIP() << "no strace to watch the program";
    const fs::path trace = dir / "trace.txt";
    const test::CliRun traced = test::runTool(
        "strace",
        {"-f", "-e", "trace=openat,open", "-o", q(trace), TINTREEL_RENDER_PATH, "-o", q(dir / "traced.mov"),
         "--set", "checkSepia=1", "--set", "checkTextWatermark=1", q(input)},
        dir, dir);
    if (!fs::exists(dir / "traced.mov")) GTEST_SKIP() << "strace cannot trace here: " << traced.errors;
    std::ifstream lines(trace);
    int naming = 0;
    for (std::string line; std::getline(lines, line);)
        naming += line.find(input.string()) != std::string::npos;
    EXPECT_EQ(naming, 1);
}

std::string probe(const fs::path& file, const std::string& entries) {
    return test::runCommand("ffprobe -v error " + entries + " -of default=nw=1:nk=1 '" + file.string() + "'")
        .value_or("");
}

// format_name, and the brand of an MPEG-4 family file ("" for others).
std::pair<std::string, std::string> container(const fs::path& file) {
    std::istringstream lines(probe(file, "-show_entries format=format_name:format_tags=major_brand"));
    std::string format, brand;
    std::getline(lines, format);
    std::getline(lines, brand);
    return {format, brand};
}

// Matroska and WebM share FFmpeg's format name; the EBML DocType tells them apart.
std::string docType(const fs::path& file) {
    const std::string head = test::fileContents(file).substr(0, 64);
    if (head.find("webm") != std::string::npos) return "webm";
    return head.find("matroska") != std::string::npos ? "matroska" : "";
}

int audioTracks(const fs::path& file) {
    const std::string codecs = probe(file, "-select_streams a -show_entries stream=codec_name");
    return static_cast<int>(std::count(codecs.begin(), codecs.end(), '\n'));
}

// How long a stream plays: the end of its last packet (containers such as
// Matroska keep no stream duration).
double playedSeconds(const fs::path& file, const std::string& selector) {
    std::istringstream rows(test::runCommand("ffprobe -v error -select_streams " + selector +
                                             " -show_entries packet=pts_time,duration_time -of csv=p=0 '" +
                                             file.string() + "'")
                                .value_or(""));
    double end = 0;
    for (std::string row; std::getline(rows, row);) {
        const std::size_t comma = row.find(',');
        if (comma == std::string::npos) continue;
        end = std::max(end, std::atof(row.c_str()) + std::atof(row.c_str() + comma + 1));
    }
    return end;
}

// One second at 320x240 and 25 fps, H.264 with two FLAC tracks: audio no
// MPEG-4 or WebM file takes as it is.
fs::path twoTrackClip() {
    return test::makeClip(
        "-f lavfi -i testsrc2=s=320x240:r=25:d=1 -f lavfi -i sine=f=440:d=1 -f lavfi -i sine=f=660:d=1 "
        "-map 0 -map 1 -map 2 -pix_fmt yuv420p -c:v libx264 -c:a flac",
        "mkv");
}

struct Expected {
    std::string output;
    QString options;
    std::string format, brand, video, audio;
    QString progress = {};  // lines on standard error, split at "|"
};

// The last row has two effects in their own passes: the last pass writes the
// container OUTPUT names, with every audio track.
TEST(OutputContainers, EachNameGetsItsContainerCodecsAndEveryAudioTrack) {
    const fs::path dir = test::scratchDirectory("cli-output-containers");
    const fs::path source = twoTrackClip();
    ASSERT_FALSE(source.empty());
    const std::string mpeg4 = "mov,mp4,m4a,3gp,3g2,mj2", mkv = "matroska,webm";
    const std::vector<Expected> cases{
        {"out.mp4", "", mpeg4, "isom", "h264", "aac"},
        {"out.m4v", "", mpeg4, "M4V ", "h264", "aac"},
        {"out.mov", "", mpeg4, "qt  ", "h264", "aac"},
        {"out.3gp", "", mpeg4, "3gp6", "h264", "aac"},
        {"out.3g2", "", mpeg4, "3g2b", "h264", "aac", "Rendering: Sepia... "},
        {"out.mkv", "", mkv, "", "h264", "flac"},
        {"out.webm", "", mkv, "", "vp9", "opus"},
        {"av1.webm", "--codec av1", mkv, "", "av1", "opus"},
        {"each.mov", "--passes each --set checkPixellate=1 --codec h265", mpeg4, "qt  ", "hevc", "aac",
         "Applying Sepia Effect... |Applying Pixellate Effect... "}};
    for (const Expected& expected : cases) {
        SCOPED_TRACE(expected.output);
        const fs::path output = dir / expected.output;
        const test::CliRun run = test::runCli(QStringList{"--set", "checkSepia=1"} +
                                                  expected.options.split(' ', Qt::SkipEmptyParts) +
                                                  QStringList{"-o", q(output), q(source)},
                                              dir);
        ASSERT_EQ(run.status, 0) << run.errors;
        for (const QString& line : expected.progress.split('|', Qt::SkipEmptyParts))
            EXPECT_NE(run.errors.find(line.toStdString()), std::string::npos) << run.errors;
        EXPECT_EQ(container(output), std::pair(expected.format, expected.brand));
        if (expected.format != mpeg4) {
            EXPECT_EQ(docType(output), output.extension() == ".mkv" ? "matroska" : "webm");
        }
        const auto video = test::probeStream(output, "v:0");
        ASSERT_TRUE(video);
        EXPECT_EQ(video->codec, expected.video);
        EXPECT_EQ(video->frames, 25);
        EXPECT_EQ(video->packets, 25);
        ASSERT_EQ(audioTracks(output), 2);
        for (const std::string track : {"a:0", "a:1"}) {
            const auto audio = test::probeStream(output, track);
            ASSERT_TRUE(audio);
            EXPECT_EQ(audio->codec, expected.audio);
            EXPECT_NEAR(playedSeconds(output, track), 1.0, 0.05);
        }
        // Copied tracks say nothing; each re-encoded one says so once.
        const bool copied = expected.audio == "flac";
        EXPECT_EQ(QString::fromStdString(run.output).count("Audio track re-encoded: flac"), copied ? 0 : 2)
            << run.output;
        if (copied) {
            EXPECT_EQ(test::probeStream(output, "a:1")->packets, test::probeStream(source, "a:1")->packets);
        }
    }
    // Nothing but the outputs is left.
    EXPECT_EQ(test::entryCount(dir), std::ssize(cases));
}

// Three seconds of 320x240 at 30 fps with a stereo tone in AAC; `picture`
// is the lavfi source of the picture.
fs::path clipOf(const std::string& picture) {
    return test::makeClip("-f lavfi -i " + picture +
                              " -f lavfi -i sine=f=440:r=48000:d=3 -ac 2 -t 3 "
                              "-pix_fmt yuv420p -c:v libx264 -crf 18 -c:a aac -b:a 128k",
                          "mp4");
}

// Refused with status 2 and one line of ours (saying `why`, where given)
// before INPUT is read: nothing is written and INPUT is untouched.
TEST(OutputContainers, WhatCannotBeWrittenIsRefusedBeforeAnythingIsRead) {
    const fs::path dir = test::scratchDirectory("cli-output-refusals");
    const fs::path input = dir / "clip.mp4";
    fs::copy_file(clipOf("testsrc2=s=320x240:r=30:d=3"), input);
    const std::string before = test::fileContents(input);
    const std::tuple<QString, std::string, std::string> refused[]{
        {"--codec h264", "x.webm", ""},
        {"--codec h265", "x.webm", ""},
        {"--codec h265", "x.3gp", ""},
        {"--codec av1", "x.3g2", ""},
        {"", "x.avi", ""},
        {"", "x", ""},
        {"--quality crf=52", "x.mp4", ""},
        {"--codec av1 --quality crf=64", "x.mkv", ""},
        {"--quality best", "x.mp4", ""},
        {"--speed slow", "x.mp4", ""},
        {"--height 0", "x.mp4", ""},
        {"--height tall", "x.mp4", ""},
        {"--codec mpeg4", "x.mp4", ""},
        {"--max-size 0", "x.mp4", "--max-size takes a file size above 0"},
        {"--max-size -5M", "x.mp4", "--max-size takes a file size above 0"},
        {"--max-size 8X", "x.mp4", "--max-size takes a file size above 0"},
        {"--max-size 8M --quality standard", "x.mp4", "--max-size sets the quality itself: drop --quality"},
        {"--quality crf=20 --max-size=8M", "x.mp4", "--max-size sets the quality itself: drop --quality"},
        {"--max-size 15k", "x.mp4",
         "15 kB is too small for 3 s of this movie and its sound: it needs at least"}};
    for (const auto& [options, output, why] : refused) {
        SCOPED_TRACE(options.toStdString() + " -o " + output);
        const QStringList arguments =
            options.split(' ', Qt::SkipEmptyParts) + QStringList{"-o", q(dir / output)};
        test::expectRefusal(test::runCli(arguments + QStringList{q(input)}, dir), why);
        EXPECT_EQ(test::entryCount(dir), 1);
    }
    EXPECT_EQ(test::fileContents(input), before);
}

// Noise makes the sizes of the quality levels differ as they would on camera
// footage. (The scale keeps an odd size that the source filter rounds down.)
fs::path noisyClip(const std::string& size) {
    return test::makeClip("-f lavfi -i testsrc2=s=" + size +
                              ":r=25:d=1,noise=alls=12:allf=t,scale=s=" + size +
                              " -f lavfi "
                              "-i sine=f=440:d=1 -pix_fmt yuv444p -c:v libx264 -crf 10 -c:a aac -shortest",
                          "mov");
}

TEST(OutputContainers, QualityAndHeightAreHonouredAndTheSourceIsCopiedOnlyWhenNothingElseWasAsked) {
    const fs::path dir = test::scratchDirectory("cli-output-quality");
    const fs::path source = noisyClip("640x360");
    std::vector<std::uintmax_t> sizes;
    for (const char* quality : {"high", "standard", "small", "crf=40"}) {
        const fs::path output = dir / (std::string("q-") + quality + ".mp4");
        const test::CliRun run =
            test::runCli({"--quality", quality, "--speed", "faster", "-o", q(output), q(source)}, dir);
        ASSERT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(test::probeStream(output, "v:0")->frames, 25);
        sizes.push_back(fs::file_size(output));
    }
    for (std::size_t i = 1; i < sizes.size(); ++i) EXPECT_LT(sizes[i], sizes[i - 1]) << i;

    // Scaled down only, keeping the aspect, to even sizes.
    const fs::path odd = noisyClip("321x181");
    const std::vector<std::tuple<fs::path, const char*, int, int>> heights{{source, "180", 320, 180},
                                                                           {source, "101", 178, 100},
                                                                           {source, "1080", 640, 360},
                                                                           {odd, "120", 212, 120},
                                                                           {odd, "2160", 322, 182}};
    for (const auto& [input, height, width, expectedHeight] : heights) {
        SCOPED_TRACE(input.string() + " --height " + height);
        const fs::path output = dir / "h.mp4";
        const test::CliRun run = test::runCli({"-y", "--height", height, "-o", q(output), q(input)}, dir);
        ASSERT_EQ(run.status, 0) << run.errors;
        const auto video = test::probeStream(output, "v:0");
        EXPECT_EQ(video->width, width);
        EXPECT_EQ(video->height, expectedHeight);
        EXPECT_EQ(video->frames, 25);
        EXPECT_EQ(test::probeStream(output, "a:0")->packets, test::probeStream(input, "a:0")->packets);
    }

    // Without effects the source is copied only when nothing else was asked.
    const fs::path small = noisyClip("160x90");
    const auto render = [&](const QStringList& options, const fs::path& output) {
        const test::CliRun run = test::runCli(options + QStringList{"-o", q(output), q(small)}, dir);
        EXPECT_EQ(run.status, 0) << run.errors;
    };
    render({"--speed", "smaller"}, dir / "copy.mov");
    EXPECT_EQ(test::fileContents(dir / "copy.mov"), test::fileContents(small));
    render({"--quality", "standard"}, dir / "standard.mov");
    render({"--codec", "h264"}, dir / "h264.mov");
    render({}, dir / "other.mkv");
    for (const char* encoded : {"standard.mov", "h264.mov", "other.mkv"}) {
        SCOPED_TRACE(encoded);
        EXPECT_NE(test::fileContents(dir / encoded), test::fileContents(small));
        EXPECT_EQ(test::probeStream(dir / encoded, "v:0")->frames, 25);
        EXPECT_EQ(test::probeStream(dir / encoded, "a:0")->codec, "aac");
    }
    EXPECT_EQ(docType(dir / "other.mkv"), "matroska");
}

// --max-size: the file ffprobe measures is at most the size and at least
// 85 % of it, or a line says the best picture needed less; sound that does
// not fit is re-encoded smaller.
TEST(MaxSize, FitsNoisyAndStillClipsIntoTheSize) {
    const fs::path dir = test::scratchDirectory("max-size");
    struct Case {
        std::string name;
        std::string picture;
        std::string size;
        long long bytes;
        bool soundCopied;
    };
    const std::vector<Case> cases{
        {"noisy", "testsrc2=s=320x240:r=30:d=3,noise=alls=80:allf=t", "300k", 300'000, true},
        {"still", "smptebars=s=320x240:r=30:d=3", "300k", 300'000, true},
        {"noisy-small", "testsrc2=s=320x240:r=30:d=3,noise=alls=80:allf=t", "100k", 100'000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path input = clipOf(c.picture);
        ASSERT_FALSE(input.empty());
        const fs::path output = dir / (c.name + ".mp4");
        const test::CliRun run = test::runCli({"-o", q(output), "--max-size", QString::fromStdString(c.size),
                                               "--set", "checkSepia=1", q(input)},
                                              dir);
        ASSERT_EQ(run.status, 0) << run.errors << run.output;
        const auto bytes = static_cast<long long>(fs::file_size(output));
        EXPECT_LE(bytes, c.bytes);
        const bool lean = run.output.find(kLeanLine) != std::string::npos;
        // Under 85 % only with the line that says so, and the line only then.
        EXPECT_EQ(lean, bytes < 0.85 * c.bytes) << bytes << " bytes\n" << run.output;
        const auto video = test::probeStream(output, "v:0");
        const auto audio = test::probeStream(output, "a:0");
        ASSERT_TRUE(video && audio);
        EXPECT_EQ(video->frames, 90);
        EXPECT_EQ(audio->codec, "aac");
        const auto audioRate =
            test::probeValues(output, "-select_streams a:0 -show_entries stream=bit_rate", "bit_rate");
        ASSERT_EQ(audioRate.size(), 1u);
        // Copied: the source's 128 kb/s; re-encoded: a rate that leaves the picture room.
        EXPECT_EQ(std::stol(audioRate[0]) > 100'000, c.soundCopied) << audioRate[0];
        EXPECT_EQ(run.output.find("does not fit the file size") == std::string::npos, c.soundCopied);
    }
    // The noisy clip needs every bit: it must come close to the size.
    EXPECT_GE(fs::file_size(dir / "noisy.mp4"), 0.85 * 300'000);
}

// The audio was copied, or re-encoded as AAC with the printed line saying so.
void expectAudioKeptOrExplained(const fs::path& source, const fs::path& output, const std::string& log) {
    const auto sourceAudio = test::probeStream(source, "a:0");
    const auto audio = test::probeStream(output, "a:0");
    ASSERT_TRUE(sourceAudio);
    ASSERT_TRUE(audio);
    if (audio->codec == sourceAudio->codec) {
        EXPECT_EQ(audio->packets, sourceAudio->packets);
    } else {
        EXPECT_EQ(audio->codec, "aac");
        EXPECT_NE(log.find("Audio track re-encoded: " + sourceAudio->codec), std::string::npos) << log;
    }
}

TEST(OtherContainers, RenderIntoMpeg4InBothPassModes) {
    const fs::path dir = test::scratchDirectory("cli-containers");
    for (const test::NamedClip& clip : test::otherContainerClips()) {
        ASSERT_FALSE(clip.path.empty()) << clip.name << ": fixture not generated";
        const auto source = test::probeStream(clip.path, "v:0");
        ASSERT_TRUE(source);
        for (const std::string passes : {"one", "each"}) {
            SCOPED_TRACE(clip.name + ", --passes " + passes);
            const fs::path output = dir / (clip.name + "-" + passes + ".mp4");
            const test::CliRun run =
                test::runCli({"--passes", QString::fromStdString(passes), "--set", "checkSepia=1", "--set",
                              "sliderBrightness=0.1", "-o", q(output), q(clip.path)},
                             dir);
            ASSERT_EQ(run.status, 0) << run.errors;
            EXPECT_EQ(container(output).first, "mov,mp4,m4a,3gp,3g2,mj2");
            const auto video = test::probeStream(output, "v:0");
            ASSERT_TRUE(video);
            EXPECT_EQ(video->codec, "h264");
            EXPECT_EQ(video->width, 160);
            EXPECT_EQ(video->frames, source->frames);
            expectAudioKeptOrExplained(clip.path, output, run.output);
        }
    }
    // Only the outputs are left: no intermediate beside them.
    EXPECT_EQ(test::entryCount(dir), 2 * std::ssize(test::otherContainerClips()));
}

// Refused with one line of ours, in movie and still modes, and nothing written.
TEST(OtherContainers, FilesThatAreNotMoviesAreRefused) {
    const fs::path dir = test::scratchDirectory("cli-pretenders");
    std::ofstream(dir / "notes.mkv") << "a text file, not a movie\n";
    const fs::path picture = dir / "photo.mp4";
    ASSERT_TRUE(test::writePicture(picture));
    // A real movie under a name that is not a movie's.
    const fs::path wrongExtension = dir / "clip.txt";
    fs::copy_file(test::makeClip("-f lavfi -i testsrc2=s=160x90:r=10:d=0.5 -c:v libx264", "mov"),
                  wrongExtension);
    const fs::path soundOnly = test::makeClip("-f lavfi -i sine=d=1 -c:a aac", "mp4");
    // Where FFmpeg has nothing to say, ours is the only line.
    for (const auto& [input, why, alone] :
         {std::tuple{dir / "notes.mkv", "cannot use", false}, std::tuple{picture, "no video track", false},
          std::tuple{wrongExtension, "", true}, std::tuple{dir / "missing.mov", "", true},
          std::tuple{soundOnly, "", true}}) {
        for (const QStringList& mode : {QStringList{}, QStringList{"--still", "0"}}) {
            SCOPED_TRACE(input.string() + " " + mode.join(' ').toStdString());
            const fs::path output = dir / (mode.isEmpty() ? "out.mp4" : "out.png");
            const test::CliRun run = test::runCli(mode + QStringList{"-o", q(output), q(input)}, dir);
            EXPECT_EQ(run.status, 2) << run.errors;
            // One line of ours; the library may add its own diagnostics.
            EXPECT_EQ(test::ourLines(run.errors), 1) << run.errors;
            if (alone) {
                EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
            }
            EXPECT_NE(run.errors.find(why), std::string::npos) << run.errors;
            EXPECT_FALSE(fs::exists(output));
        }
    }
}

// OUTPUT.gif and OUTPUT.webp: the frame rate and width caps, the shape, one
// palette of at most 256 colours, endless looping, no sound with a line
// saying so, and the refusals. (A cancelled GIF is among the interrupted
// runs of the safety tests.)
constexpr const char* kNoSoundLine = "An animated picture has no sound";

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
    const fs::path wide = clip("mp4", 3, "640x360");
    const fs::path narrow = clip("mp4", 3, "320x240");
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
    const test::CliRun run =
        test::runCli({"-o", q(output), "--width", "240", q(clip("mp4", 2, "640x360"))}, dir);
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
    const fs::path input = clip("mp4", 1, "320x240");
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
        EXPECT_EQ(test::entryCount(dir), 0);
    }
}

}  // namespace
}  // namespace tintreel
