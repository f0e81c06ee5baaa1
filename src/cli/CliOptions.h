#pragma once
// The command line of tintreel-render: what was asked for, and the settings
// it resolves to (defaults, then the settings file, then each --set in order).
//
//   tintreel-render -o OUTPUT [-y] [--passes one|each] [--codec C] [--quality Q] [--speed S] [--height N]
//                   [--preset P] [--crop W:H:X:Y] [--aspect A] [--fill F] [--focus X,Y]
//                   [--max-size SIZE] [--fps N] [--width N]
//                   [--from T] [--to T] [--cut exact|keyframes]
//                   [-s SETTINGS] [--set NAME=VALUE]... [--logo IMAGE] INPUT
//   tintreel-render --still [SECONDS] -o OUT.png [-y] [...] INPUT
//   tintreel-render --segment K/N -o PART.mkv [-y] [...] INPUT
//   tintreel-render --join -o OUTPUT [-y] --audio-from INPUT PART.mkv...
//   tintreel-render -o FOLDER|TEMPLATE [-j N] [--skip-existing] [--recursive] [...] INPUT|FOLDER...
//   tintreel-render --list FILE [--index K] -o OUTPUT|FOLDER|TEMPLATE [...]
//   tintreel-render --export-lut OUT.cube [-y] [-s SETTINGS] [--set NAME=VALUE]... [--lut FILE] [--lut-size N]
//
// Exit statuses shared by every mode live here too.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "cli/FrameOptions.h"
#include "cli/SoundOptions.h"
#include "imaging/EffectSettings.h"
#include "platform/media/MovieSlice.h"
#include "platform/media/MovieSpan.h"
#include "platform/media/RenderSettings.h"
#include "platform/system/Result.h"
#include "render/LookTable.h"
#include "render/PassMode.h"

namespace tintreel {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitRenderFailed = 1;
inline constexpr int kExitBadInput = 2;
inline constexpr int kExitCancelled = 130;

enum class ProgressFormat { Human, Json };

// How a span without any effect is cut: re-encoded to the exact frame, or
// copied packet for packet from the key frame at or before the in point.
enum class CutMode { Exact, KeyFrames };

// Everything one render needs is here; a batch gives each of its jobs a copy
// with `input` and `output` set to that job's, the rest unchanged.
struct CliOptions {
    std::filesystem::path input;
    std::filesystem::path output;
    std::optional<std::filesystem::path> settingsFile;
    std::vector<std::pair<std::string, std::string>> assignments;  // --set NAME=VALUE, in order
    std::optional<std::filesystem::path> logo;
    std::optional<std::filesystem::path> lut;        // --lut: the colour table, switched on
    std::optional<std::filesystem::path> exportLut;  // write the look as a table here instead of rendering
    int lutSize = kLookTableDefaultSize;             // the exported table's grid
    PassMode passes = PassMode::One;
    bool overwrite = false;              // -y: an existing OUTPUT may be replaced
    bool still = false;                  // write a still picture (PNG or JPEG) instead of a movie
    std::optional<double> stillSeconds;  // the movie time of the still
    std::optional<SliceNumber> segment;  // render only this slice of INPUT, without audio
    bool join = false;                   // join the slices `parts` instead of rendering INPUT
    std::vector<std::filesystem::path> parts;
    std::optional<std::filesystem::path> audioFrom;  // the source whose audio the join copies
    ProgressFormat progress = ProgressFormat::Human;
    // --from and --to: only this span of each input (MovieSpan.h); the
    // whole movie when neither is given.
    MovieSpan span;
    CutMode cut = CutMode::Exact;

    // Which inputs a run takes (see BatchPlan.h): the INPUT arguments in
    // order (files or folders), or the lines of a list file.
    std::vector<std::filesystem::path> inputs;
    std::optional<std::filesystem::path> list;
    std::optional<int> listIndex;   // --index K: only line K (from 1) of the list
    bool recursive = false;         // folders: their subfolders too
    int jobs = 1;                   // renders at once
    bool skipExisting = false;      // an existing output is left alone and counted as skipped
    RenderSettings render;          // --codec, --quality, --speed, --height, --preset, --max-size, --fps, --width
    std::optional<PixelRect> crop;  // --crop, applied to every input
    FrameChoices frame;             // --aspect, --fill, --focus
    SoundChoices sound;             // --volume, --mute, --loudness, --true-peak
};

// What the command line asks for: run with options, or leave at once with a
// status after printing `message` (usage, version, or a one-line error).
struct CliExit {
    int status;
    std::string message;
};

// More renders at once than any machine this runs on gains from; each holds
// a few frames in memory.
inline constexpr int kMaxJobs = 64;

// What --still writes, by OUTPUT's extension: .png, or .jpg and .jpeg.
enum class StillFormat { Png, Jpeg };
std::optional<StillFormat> stillFormatOf(const std::filesystem::path& output);

Result<CliOptions, CliExit> parseCommandLine(const std::vector<std::string>& arguments);

// What a run applies: the settings, and the picture of the image watermark
// (--logo, else the profile's when the watermark is on; nothing when neither).
struct Look {
    EffectSettings settings;
    std::optional<std::filesystem::path> logo;
    // When the text watermark is on and its family is not installed: which
    // family draws instead, one line for the person running the command.
    std::optional<std::string> fontNote;
};

// The look the options resolve to, or a one-line error.
Result<Look> resolveLook(const CliOptions& options);

std::string usageText();

}  // namespace tintreel
