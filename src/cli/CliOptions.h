#pragma once
// The command line of tintreel-render: what was asked for, and the settings
// it resolves to (defaults, then the settings file, then each --set in order).
//
//   tintreel-render -o OUTPUT [-y] [--passes one|each] [--codec C] [--quality Q] [--speed S] [--height N]
//                   [-s SETTINGS] [--set NAME=VALUE]... [--logo IMAGE] INPUT
//   tintreel-render --still [SECONDS] -o OUT.png [-y] [...] INPUT
//
// Exit statuses shared by every mode live here too.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "imaging/EffectSettings.h"
#include "platform/media/RenderSettings.h"
#include "render/PassMode.h"

namespace tintreel {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitRenderFailed = 1;
inline constexpr int kExitBadInput = 2;
inline constexpr int kExitCancelled = 130;

struct CliOptions {
    std::filesystem::path input;
    std::filesystem::path output;
    std::optional<std::filesystem::path> settingsFile;
    std::vector<std::pair<std::string, std::string>> assignments;  // --set NAME=VALUE, in order
    std::optional<std::filesystem::path> logo;
    PassMode passes = PassMode::One;
    bool overwrite = false;             // -y: an existing OUTPUT may be replaced
    bool still = false;                 // write a PNG still instead of a movie
    std::optional<double> stillSeconds;  // the movie time of the still
    RenderSettings render;               // --codec, --quality, --speed, --height
};

// What the command line asks for: run with options, or leave at once with a
// status after printing `message` (usage, version, or a one-line error).
struct CliExit {
    int status;
    std::string message;
};

std::variant<CliOptions, CliExit> parseCommandLine(const std::vector<std::string>& arguments);

// The settings the options resolve to, or a one-line error.
std::variant<EffectSettings, std::string> resolveSettings(const CliOptions& options);

std::string usageText();

}  // namespace tintreel
