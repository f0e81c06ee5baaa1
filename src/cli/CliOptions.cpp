#include "cli/CliOptions.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "platform/media/MovieTypes.h"
#include "settings/ControlCatalogue.h"
#include "settings/NamedSetting.h"
#include "settings/SettingsRecord.h"

namespace tintreel {
namespace {

std::optional<double> parseSeconds(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !(value >= 0)) return std::nullopt;
    return value;
}

CliExit error(const std::string& message) { return {kExitBadInput, "tintreel-render: " + message}; }

// Reads the value that follows option `name`, advancing `i`.
std::optional<std::string> valueOf(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size()) return std::nullopt;
    return args[++i];
}

std::optional<CliExit> takeOption(const std::vector<std::string>& args, std::size_t& i, CliOptions& o) {
    const std::string& arg = args[i];
    if (arg == "--still") {
        o.still = true;
        // SECONDS is optional: the next argument is taken only when it is a time.
        if (i + 1 < args.size()) {
            if (auto seconds = parseSeconds(args[i + 1])) {
                o.stillSeconds = seconds;
                ++i;
            }
        }
        return std::nullopt;
    }
    auto value = valueOf(args, i);
    if (!value) return error("option " + arg + " needs a value");
    if (arg == "-o" || arg == "--output") o.output = *value;
    else if (arg == "-s" || arg == "--settings") o.settingsFile = *value;
    else if (arg == "--logo") o.logo = *value;
    else if (arg == "--passes") {
        if (*value != "one" && *value != "each") return error("--passes takes one or each, got \"" + *value + "\"");
        o.passes = *value == "one" ? PassMode::One : PassMode::Each;
    }
    else if (arg == "--audio-from") o.audioFrom = *value;
    else if (arg == "--segment") {
        o.segment = SliceNumber::parse(*value);
        if (!o.segment) return error("--segment takes K/N with 1 <= K <= N, got \"" + *value + "\"");
    }
    else if (arg == "--set") {
        const std::size_t equals = value->find('=');
        if (equals == std::string::npos || equals == 0) return error("--set takes NAME=VALUE, got \"" + *value + "\"");
        o.assignments.emplace_back(value->substr(0, equals), value->substr(equals + 1));
    }
    return std::nullopt;
}

bool isValuedOption(const std::string& arg) {
    for (const char* option : {"-o", "--output", "-s", "--settings", "--logo", "--set", "--passes", "--still",
                               "--segment", "--audio-from"})
        if (arg == option) return true;
    return false;
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
}

std::string movieExtensions() {
    std::string list;
    for (std::string_view extension : kMovieExtensions) list += (list.empty() ? "." : " .") + std::string(extension);
    return list;
}

// The slice and join modes take only the options that make sense for them.
std::optional<CliExit> checkSliceModes(const CliOptions& o) {
    if (o.join && (o.segment || o.still)) return error("--join cannot be combined with --segment or --still");
    if (o.join && !o.audioFrom) return error("--join needs --audio-from INPUT, the movie the slices come from");
    if (!o.join && o.audioFrom) return error("--audio-from is an option of --join");
    if (!o.segment) return std::nullopt;
    if (o.still) return error("--segment cannot be combined with --still");
    if (o.passes != PassMode::One) return error("--segment renders in one pass: drop --passes each");
    if (o.output.extension() != ".mkv") return error("--segment writes Matroska: OUTPUT must end in .mkv");
    return std::nullopt;
}

// The positional arguments: the one INPUT, or the slices of a join.
std::optional<CliExit> takePositional(const std::vector<std::string>& positional, CliOptions& o) {
    if (o.join) {
        if (positional.empty()) return error("--join needs the slices to join (see --help)");
        o.parts.assign(positional.begin(), positional.end());
        return std::nullopt;
    }
    if (positional.size() != 1) return error(positional.empty() ? "no INPUT given (see --help)" : "more than one INPUT given");
    o.input = positional.front();
    return std::nullopt;
}

}  // namespace

std::string usageText() {
    return "Usage: tintreel-render -o OUTPUT [-y] [--passes one|each] [-s SETTINGS] [--set NAME=VALUE]... "
           "[--logo IMAGE] INPUT\n"
           "       tintreel-render --still [SECONDS] -o OUT.png [-y] [-s SETTINGS] [--set NAME=VALUE]... "
           "[--logo IMAGE] INPUT\n"
           "       tintreel-render --segment K/N -o PART_K.mkv [-y] [-s SETTINGS] [--set NAME=VALUE]... "
           "[--logo IMAGE] INPUT\n"
           "       tintreel-render --join -o OUTPUT [-y] --audio-from INPUT PART_1.mkv ... PART_N.mkv\n"
           "\n"
           "Renders INPUT, a movie with a video track, through the effects the settings enable and writes\n"
           "the result to OUTPUT, H.264 in the container of INPUT when that is .mov .m4v .mp4 .3gp or .3g2,\n"
           "else in MP4. With --still, writes the still preview as a PNG instead: of a PNG or JPEG picture\n"
           "INPUT, or of the movie frame at SECONDS (default 0).\n"
           "Movies: " +
           movieExtensions() +
           "\n"
           "\n"
           "  -o, --output PATH      where to write the result; its folder must exist and be writable\n"
           "  -y, --overwrite        replace OUTPUT when it exists (never when it is INPUT itself)\n"
           "  -s, --settings FILE    a settings file saved by the editor (a profile)\n"
           "      --set NAME=VALUE   one control by its name, e.g. --set checkSepia=1 --set sliderSepiaIntensity=0.8;\n"
           "                         later --set wins over the file, which wins over the defaults\n"
           "      --logo IMAGE       the picture of the image watermark (PNG or JPEG)\n"
           "      --passes one|each  one: every effect on each frame in one decode and encode (default);\n"
           "                         each: one whole pass over the movie per effect\n"
           "      --still [SECONDS]  write a still preview instead of a movie\n"
           "      --segment K/N      render only the K-th of N equal slices of INPUT's duration, without\n"
           "                         audio, into OUTPUT.mkv (for spreading one movie over several workers)\n"
           "      --join             write OUTPUT from the slices given instead of INPUT, without encoding again\n"
           "      --audio-from INPUT with --join: the movie the slices come from; its audio is copied\n"
           "  -h, --help             show this help\n"
           "      --version          show the version\n"
           "\n"
           "Exit status: 0 done, 1 the render failed, 2 bad arguments, INPUT or OUTPUT (nothing written),\n"
           "130 cancelled.\n";
}

std::variant<CliOptions, CliExit> parseCommandLine(const std::vector<std::string>& args) {
    CliOptions options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") return CliExit{kExitSuccess, usageText()};
        if (arg == "--version") return CliExit{kExitSuccess, std::string("tintreel-render ") + TINTREEL_VERSION};
        if (arg == "-y" || arg == "--overwrite") {
            options.overwrite = true;
            continue;
        }
        if (arg == "--join") {
            options.join = true;
            continue;
        }
        if (isValuedOption(arg)) {
            if (auto failure = takeOption(args, i, options)) return *failure;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return error("unknown option " + arg + " (see --help)");
        } else {
            positional.push_back(arg);
        }
    }
    if (auto failure = takePositional(positional, options)) return *failure;
    if (options.output.empty()) return error("no OUTPUT given: use -o PATH");
    if (auto failure = checkSliceModes(options)) return *failure;
    return options;
}

std::variant<EffectSettings, std::string> resolveSettings(const CliOptions& options) {
    EffectSettings settings = defaultEffectSettings();
    if (options.settingsFile) {
        const auto text = readFile(*options.settingsFile);
        if (!text) return "cannot read the settings file " + options.settingsFile->string();
        RecordParseResult parsed = parseSettingsRecord(*text, settings);
        if (!parsed.problems.empty())
            return "the settings file " + options.settingsFile->string() + " is damaged: " + parsed.problems.front();
        settings = std::move(parsed.settings);
    }
    for (const auto& [name, value] : options.assignments)
        if (auto problem = assignNamedSetting(settings, name, value)) return "--set " + name + ": " + *problem;
    return settings;
}

}  // namespace tintreel
