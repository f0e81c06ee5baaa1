#pragma once
// Test fixtures made by the `ffmpeg` program and facts read back with
// `ffprobe`, a judge we did not write.
//
// Clips land in the build tree (TINTREEL_TEST_WORK_DIR/clips), named by a
// hash of the arguments that made them, so every test asking for the same
// clip shares one file; a clip is written under a temporary name and renamed,
// so test processes running side by side never see half a file.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/filters/Image.h"

namespace tintreel::test {

// A clip made by `ffmpeg <arguments> OUTPUT.<extension>`; empty path when ffmpeg failed.
std::filesystem::path makeClip(const std::string& arguments, const std::string& extension);

// Movies in containers our writer does not write, one second at 160x90 and
// 25 fps with a tone: Matroska with Opus and with FLAC audio, WebM (VP9 and
// Opus), AVI (MPEG-4 part 2 and MP3) and MPEG-TS (MPEG-2 and AAC).
struct NamedClip {
    std::string name;
    std::filesystem::path path;
};
std::vector<NamedClip> otherContainerClips();

// A two-second 160x90 clip with a tone, a French subtitle track of two cues,
// two chapters ("Opening", "Ending"), the title "Clip title" and the creation
// time 2024-05-06T07:08:09Z, in `extension` with the `audio` and
// `subtitleCodec` encoders; `video` adds options for the video stream.
std::filesystem::path clipWithExtras(const std::string& extension, const std::string& audio,
                                     const std::string& subtitleCodec, const std::string& video = "");

// Writes a 64x48 PNG picture at `file`, whatever its extension says; false when ffmpeg failed.
bool writePicture(const std::filesystem::path& file);

// A copy of `clip` whose video track carries the rotation tag `degrees`
// (270 writes the matrix (0, 1, -1, 0) of a portrait phone clip).
std::filesystem::path withRotationTag(const std::filesystem::path& clip, int degrees);

// Two seconds of 320x240 at 10 fps whose file announces the whole length but
// whose data stops at six tenths of it: a movie cut short.
std::filesystem::path cutShortClip();

// Standard output of a shell command, or nothing when it fails.
std::optional<std::string> runCommand(const std::string& command);

// One stream's facts as ffprobe reports them (selector such as "v:0", "a:0").
struct StreamFacts {
    std::string codec;
    int width = 0;
    int height = 0;
    std::string pixelFormat;
    long packets = 0;      // counted by reading the whole stream
    long frames = 0;       // decoded, as a player shows them (edit lists applied)
    double duration = 0;   // seconds
    std::string rotation;  // display-matrix rotation, empty when none
};
std::optional<StreamFacts> probeStream(const std::filesystem::path& file, const std::string& selector);

// Adds test failures unless `output` holds `source`'s movie re-encoded: H.264,
// the same frame count and duration (within a frame), the same audio codec
// and packet count, and no rotation tag.
void expectSameMovie(const std::filesystem::path& source, const std::filesystem::path& output);

// The library's exact YUV -> RGB path (its interpolated chroma in both
// directions and exact rounding), the judge of our own conversion.
inline const std::string kExactRgbFlags = "accurate_rnd+bicubic+full_chroma_int";

// The first decoded frame at or after `seconds`, as ffmpeg shows it
// (auto-rotated), converted by its exact path unless `filter` says otherwise.
std::optional<Image> ffmpegFrame(const std::filesystem::path& file, double seconds,
                                 const std::string& filter = "");

// Mean difference per channel between two pictures of the same size.
double meanDifference(const Image& a, const Image& b);

// Every value of `key` in what `ffprobe -v error <arguments> -of default=nw=1 FILE`
// prints (e.g. arguments "-show_entries chapter_tags=title", key "TAG:title").
std::vector<std::string> probeValues(const std::filesystem::path& file, const std::string& arguments,
                                     const std::string& key);

// Mean absolute difference of the Y, U and V samples of two 8-bit 4:2:0
// movies of the same size and frame count, decoded by ffmpeg as stored (no
// conversion); none when they cannot be decoded or differ in size or length.
std::optional<std::array<double, 3>> meanPlaneDifference(const std::filesystem::path& a,
                                                         const std::filesystem::path& b, int width,
                                                         int height);

// Mean PSNR in dB (RGB) of `distorted` against `reference`, by ffmpeg's psnr filter.
std::optional<double> psnrRgb(const std::filesystem::path& reference, const std::filesystem::path& distorted);

// The directory for scratch files of one test, emptied first.
std::filesystem::path scratchDirectory(const std::string& name);

// The ffmpeg program's `ebur128` meter (peak=true) on one audio track
// (selector "a:0"), after the audio filters `before` (each ending in a comma).
struct LoudnessReading {
    double integratedLufs = 0;
    double truePeakDbtp = 0;
};
std::optional<LoudnessReading> ffmpegLoudness(const std::filesystem::path& file, const std::string& track,
                                              const std::string& before = "");

// The mean and the loudest sample of one audio track in dBFS, by ffmpeg's `volumedetect`.
struct VolumeReading {
    double meanDb = 0;
    double maxDb = 0;
};
std::optional<VolumeReading> ffmpegVolume(const std::filesystem::path& file, const std::string& track);

// The RMS level in dBFS of the first audio track from `from` to `to` seconds,
// by ffmpeg's `astats` (-inf for digital silence).
std::optional<double> ffmpegRmsLevel(const std::filesystem::path& file, double from, double to);

}  // namespace tintreel::test
