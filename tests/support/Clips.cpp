#include "support/Clips.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <QImage>
#include <array>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <regex>
#include <sstream>

#include "platform/filters/QtImage.h"

namespace tintreel::test {
namespace fs = std::filesystem;

namespace {

fs::path clipDirectory() {
    fs::path dir = fs::path(TINTREEL_TEST_WORK_DIR) / "clips";
    fs::create_directories(dir);
    return dir;
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

// Makes `target` with `write` (given a temporary name, renamed when it
// succeeds) unless it exists, so processes side by side never see half a file.
fs::path cached(const fs::path& target, const std::function<bool(const fs::path&)>& write) {
    if (fs::exists(target)) return target;
    const fs::path partial =
        target.parent_path() / ("partial-" + std::to_string(::getpid()) + "-" + target.filename().string());
    if (!write(partial)) return {};
    std::error_code ec;
    fs::rename(partial, target, ec);
    return ec ? fs::path() : target;
}

fs::path writtenOnce(const std::string& name, const std::string& text) {
    return cached(clipDirectory() / name,
                  [&](const fs::path& partial) { return static_cast<bool>(std::ofstream(partial) << text); });
}

// Every value of `key` in ffprobe's "key=value" lines.
std::vector<std::string> valuesOf(const std::string& text, const std::string& key) {
    std::vector<std::string> values;
    const std::string needle = key + "=";
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(needle, 0) == 0) values.push_back(line.substr(needle.size()));
    return values;
}

std::string field(const std::string& text, const std::string& key) {
    const std::vector<std::string> values = valuesOf(text, key);
    return values.empty() ? std::string() : values.front();
}

double number(const std::string& text) {
    return text.empty() ? 0.0 : std::atof(text.c_str());
}

// ffmpeg's muxer for a file extension, where the two names differ.
std::string muxerFor(const std::string& extension) {
    if (extension == "m4v") return "ipod";
    if (extension == "mkv") return "matroska";
    if (extension == "ts") return "mpegts";
    return extension;
}

}  // namespace

std::optional<std::string> runCommand(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return std::nullopt;
    std::string output;
    std::array<char, 65536> buffer;
    while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe.get()))
        output.append(buffer.data(), n);
    return ::pclose(pipe.release()) == 0 ? std::optional(output) : std::nullopt;
}

fs::path makeClip(const std::string& arguments, const std::string& extension) {
    const fs::path target =
        clipDirectory() / (std::to_string(std::hash<std::string>{}(arguments)) + "." + extension);
    return cached(target, [&](const fs::path& partial) {
        return runCommand("ffmpeg -nostdin -y -loglevel error " + arguments + " -f " + muxerFor(extension) +
                          " " + quoted(partial))
            .has_value();
    });
}

std::vector<NamedClip> otherContainerClips() {
    const std::string sources =
        "-f lavfi -i testsrc2=s=160x90:r=25:d=1 -f lavfi -i sine=r=48000:d=1 -pix_fmt yuv420p ";
    return {{"mkv_opus", makeClip(sources + "-c:v libx264 -c:a libopus", "mkv")},
            {"mkv_flac", makeClip(sources + "-c:v mpeg4 -c:a flac", "mkv")},
            {"webm", makeClip(sources + "-c:v libvpx-vp9 -deadline realtime -c:a libopus", "webm")},
            {"avi", makeClip(sources + "-c:v mpeg4 -c:a libmp3lame", "avi")},
            {"ts", makeClip(sources + "-c:v mpeg2video -c:a aac", "ts")}};
}

fs::path clipWithExtras(const std::string& extension, const std::string& audio,
                        const std::string& subtitleCodec, const std::string& video) {
    const fs::path cues = writtenOnce("cues.srt",
                                      "1\n00:00:00,200 --> 00:00:00,800\nHello there\n\n"
                                      "2\n00:00:01,000 --> 00:00:01,800\nSecond line\n");
    const fs::path chapters = writtenOnce("chapters.txt",
                                          ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\n"
                                          "title=Opening\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\n"
                                          "title=Ending\n");
    return makeClip("-f lavfi -i testsrc2=s=160x90:r=25:d=2 -f lavfi -i sine=d=2 -i " + quoted(cues) +
                        " -i " + quoted(chapters) +
                        " -map 0 -map 1 -map 2 -map_chapters 3 -metadata title='Clip title' "
                        "-metadata creation_time=2024-05-06T07:08:09Z -metadata:s:s:0 language=fra "
                        "-pix_fmt yuv420p -c:v libx264 " +
                        video + " -c:a " + audio + " -c:s " + subtitleCodec,
                    extension);
}

bool writePicture(const fs::path& file) {
    const std::string source = "-f lavfi -i testsrc2=s=64x48 -frames:v 1";
    return runCommand("ffmpeg -nostdin -y -loglevel error " + source + " -f image2 -c:v png " + quoted(file))
        .has_value();
}

fs::path withRotationTag(const fs::path& clip, int degrees) {
    const fs::path target = clip.parent_path() / (clip.stem().string() + "-rot" + std::to_string(degrees) +
                                                  clip.extension().string());
    return cached(target, [&](const fs::path& partial) {
        return runCommand("ffmpeg -nostdin -y -loglevel error -i " + quoted(clip) +
                          " -c copy -metadata:s:v:0 rotate=" + std::to_string(degrees) + " -f mov " +
                          quoted(partial))
            .has_value();
    });
}

fs::path cutShortClip() {
    const fs::path whole = makeClip(
        "-f lavfi -i testsrc2=s=320x240:r=10:d=2 -pix_fmt yuv420p -c:v libx264 -g 10 -movflags +faststart",
        "mp4");
    return cached(whole.parent_path() / (whole.stem().string() + "-cut.mp4"), [&](const fs::path& partial) {
        std::error_code ec;
        fs::copy_file(whole, partial, fs::copy_options::overwrite_existing, ec);
        if (!ec) fs::resize_file(partial, fs::file_size(whole) * 6 / 10, ec);
        return !ec;
    });
}

std::optional<StreamFacts> probeStream(const fs::path& file, const std::string& selector) {
    const auto text = runCommand(
        "ffprobe -v error -count_packets -count_frames -select_streams " + selector +
        " -show_entries stream=codec_name,width,height,pix_fmt,nb_read_packets,nb_read_frames,duration"
        ":stream_side_data=rotation -of default=nw=1 " +
        quoted(file));
    if (!text || text->empty()) return std::nullopt;
    return StreamFacts{field(*text, "codec_name"),
                       static_cast<int>(number(field(*text, "width"))),
                       static_cast<int>(number(field(*text, "height"))),
                       field(*text, "pix_fmt"),
                       static_cast<long>(number(field(*text, "nb_read_packets"))),
                       static_cast<long>(number(field(*text, "nb_read_frames"))),
                       number(field(*text, "duration")),
                       field(*text, "rotation")};
}

void expectSameMovie(const fs::path& source, const fs::path& output) {
    const auto in = probeStream(source, "v:0"), out = probeStream(output, "v:0");
    ASSERT_TRUE(in && out) << output;
    EXPECT_EQ(out->codec, "h264");
    EXPECT_EQ(out->packets, in->packets);
    EXPECT_EQ(out->frames, in->frames) << "frames a player shows";
    EXPECT_NEAR(out->duration, in->duration, 0.05);
    EXPECT_EQ(out->rotation, "");
    const auto inAudio = probeStream(source, "a:0"), outAudio = probeStream(output, "a:0");
    ASSERT_EQ(inAudio.has_value(), outAudio.has_value()) << output;
    if (!inAudio) return;
    EXPECT_EQ(outAudio->codec, inAudio->codec);
    EXPECT_EQ(outAudio->packets, inAudio->packets);
}

std::optional<Image> ffmpegFrame(const fs::path& file, double seconds, const std::string& filter) {
    const auto png =
        runCommand("ffmpeg -nostdin -loglevel error -ss " + std::to_string(seconds) + " -i " + quoted(file) +
                   (filter.empty() ? "" : " -vf " + filter) + " -sws_flags " + kExactRgbFlags +
                   " -frames:v 1 -c:v png -f image2pipe -");
    if (!png) return std::nullopt;
    QImage image;
    if (!image.loadFromData(reinterpret_cast<const uchar*>(png->data()), static_cast<int>(png->size()),
                            "PNG"))
        return std::nullopt;
    return fromQImage(image);
}

double meanDifference(const Image& a, const Image& b) {
    double sum = 0;
    for (size_t i = 0; i < a.byteCount(); ++i) sum += std::abs(a.data()[i] - b.data()[i]);
    return sum / static_cast<double>(a.byteCount());
}

std::vector<std::string> probeValues(const fs::path& file, const std::string& arguments,
                                     const std::string& key) {
    const auto text = runCommand("ffprobe -v error " + arguments + " -of default=nw=1 " + quoted(file));
    return text ? valuesOf(*text, key) : std::vector<std::string>();
}

std::optional<std::array<double, 3>> meanPlaneDifference(const fs::path& a, const fs::path& b, int width,
                                                         int height) {
    const auto samples = [&](const fs::path& file) {
        return runCommand("ffmpeg -nostdin -v error -i " + quoted(file) + " -map 0:v:0 -f rawvideo -");
    };
    const auto first = samples(a), second = samples(b);
    const size_t luma = static_cast<size_t>(width) * height, chroma = luma / 4, frame = luma + 2 * chroma;
    if (!first || !second || first->size() != second->size() || first->empty() || first->size() % frame)
        return {};
    std::array<double, 3> sums{};
    for (size_t i = 0; i < first->size(); ++i) {
        const size_t at = i % frame;
        const int plane = at < luma ? 0 : at < luma + chroma ? 1 : 2;
        sums[plane] +=
            std::abs(static_cast<unsigned char>((*first)[i]) - static_cast<unsigned char>((*second)[i]));
    }
    const double frames = static_cast<double>(first->size() / frame);
    return std::array<double, 3>{sums[0] / (frames * luma), sums[1] / (frames * chroma),
                                 sums[2] / (frames * chroma)};
}

std::optional<double> psnrRgb(const fs::path& reference, const fs::path& distorted) {
    const auto text =
        runCommand("ffmpeg -nostdin -i " + quoted(reference) + " -i " + quoted(distorted) +
                   " -lavfi '[0:v]format=gbrp[a];[1:v]format=gbrp[b];[a][b]psnr' -f null - 2>&1");
    if (!text) return std::nullopt;
    const size_t at = text->rfind("average:");
    if (at == std::string::npos) return std::nullopt;
    return std::atof(text->c_str() + at + 8);
}

fs::path scratchDirectory(const std::string& name) {
    const fs::path dir = fs::path(TINTREEL_TEST_WORK_DIR) / "scratch" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

namespace {

// The number after `label` in the last place ffmpeg printed it.
std::optional<double> lastNumberAfter(const std::string& text, const std::string& label) {
    const std::regex pattern(label + R"(\s*(-?inf|-?[0-9.]+))");
    std::optional<double> value;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
        const std::string number = (*it)[1];
        value = number.ends_with("inf") ? -std::numeric_limits<double>::infinity() : std::stod(number);
    }
    return value;
}

std::optional<std::string> audioFilterLog(const fs::path& file, const std::string& track, const std::string& filters) {
    return runCommand("ffmpeg -nostats -hide_banner -i " + quoted(file) + " -map 0:" + track + " -af '" +
                      filters + "' -f null - 2>&1");
}

}  // namespace

std::optional<LoudnessReading> ffmpegLoudness(const fs::path& file, const std::string& track,
                                              const std::string& before) {
    const std::optional<std::string> text = audioFilterLog(file, track, before + "ebur128=peak=true");
    if (!text) return std::nullopt;
    const auto summary = text->find("Summary:");
    if (summary == std::string::npos) return std::nullopt;
    const std::string tail = text->substr(summary);
    const std::optional<double> integrated = lastNumberAfter(tail, "I:");
    const std::optional<double> peak = lastNumberAfter(tail, "Peak:");
    if (!integrated || !peak) return std::nullopt;
    return LoudnessReading{*integrated, *peak};
}

std::optional<VolumeReading> ffmpegVolume(const fs::path& file, const std::string& track) {
    const std::optional<std::string> text = audioFilterLog(file, track, "volumedetect");
    if (!text) return std::nullopt;
    const std::optional<double> mean = lastNumberAfter(*text, "mean_volume:");
    const std::optional<double> max = lastNumberAfter(*text, "max_volume:");
    if (!mean || !max) return std::nullopt;
    return VolumeReading{*mean, *max};
}

std::optional<double> ffmpegRmsLevel(const fs::path& file, double from, double to) {
    const std::optional<std::string> text = audioFilterLog(
        file, "a:0", "atrim=" + std::to_string(from) + ":" + std::to_string(to) + ",astats=measure_perchannel=none");
    return text ? lastNumberAfter(*text, "RMS level dB:") : std::nullopt;
}

}  // namespace tintreel::test
