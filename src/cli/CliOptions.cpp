#include "cli/CliOptions.h"

#include <algorithm>

#include "imaging/FontChoice.h"
#include "imaging/FontFamilies.h"
#include "platform/media/MovieTypes.h"
#include "platform/media/RenderSettings.h"
#include "render/LookTable.h"
#include "settings/ControlCatalogue.h"
#include "settings/NamedSetting.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsRecord.h"
#include "settings/WholeNumber.h"

namespace tintreel {
namespace {

// A number filling the whole text and at least `minimum` (NaN never is).
template <typename Number>
std::optional<Number> parseAtLeast(const std::string& text, Number minimum) {
    const std::optional<Number> value = parseWholeNumber<Number>(text);
    if (!value || !(*value >= minimum)) return std::nullopt;
    return value;
}

CliExit error(const std::string& message) {
    return {kExitBadInput, "tintreel-render: " + message};
}

// Reads the value that follows option `name`, advancing `i`.
std::optional<std::string> valueOf(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size()) return std::nullopt;
    return args[++i];
}

// Takes --codec, --quality, --speed or --height into `render`; an error for a
// value it does not know, nothing otherwise (also for other options).
std::optional<CliExit> takeRenderOption(const std::string& arg, const std::string& value,
                                        RenderSettings& render) {
    const auto refused = [&](const char* choices) {
        return error(arg + " takes " + choices + ", got \"" + value + "\"");
    };
    if (arg == "--codec") {
        render.codec = parseCodec(value);
        if (!render.codec) return refused("h264, h265, av1 or vp9");
    } else if (arg == "--quality") {
        const std::optional<Quality> quality = parseQuality(value);
        if (!quality) return refused("high, standard, small or crf=N");
        render.quality = *quality;
    } else if (arg == "--speed") {
        const std::optional<EncodeSpeed> speed = parseSpeed(value);
        if (!speed) return refused("faster, balanced or smaller");
        render.speed = *speed;
    } else if (arg == "--height") {
        const std::optional<int> height = parseAtLeast(value, 2);
        if (!height) return refused("a height in pixels, at least 2");
        render.maxHeight = *height;
    } else if (arg == "--fps") {
        const std::optional<int> rate = parseAtLeast(value, 1);
        if (!rate) return refused("a whole number of frames a second, at least 1");
        render.animation.framesPerSecond = *rate;
    } else if (arg == "--width") {
        const std::optional<int> width = parseAtLeast(value, 2);
        if (!width) return refused("a width in pixels, at least 2");
        render.animation.width = *width;
    } else if (arg == "--max-size") {
        const std::optional<long long> bytes = parseByteSize(value);
        if (!bytes)
            return refused("a file size above 0: bytes, or a number with k, M or G (8M = 8000000 bytes)");
        render.maxBytes = *bytes;
    }
    return std::nullopt;
}

// Takes --from, --to or --cut; an error for a value it cannot read.
std::optional<CliExit> takeSpanOption(const std::string& arg, const std::string& value, CliOptions& o) {
    if (arg == "--cut") {
        if (value != "exact" && value != "keyframes")
            return error("--cut takes exact or keyframes, got \"" + value + "\"");
        o.cut = value == "exact" ? CutMode::Exact : CutMode::KeyFrames;
    } else if (arg == "--from" || arg == "--to") {
        const std::optional<double> seconds = parseTimePoint(value);
        if (!seconds)
            return error(arg + " takes a time as seconds (12.5), m:ss.ff or h:mm:ss.ff, got \"" + value +
                         "\"");
        (arg == "--from" ? o.span.in : o.span.out) = *seconds;
    }
    return std::nullopt;
}

std::optional<CliExit> takeOption(const std::vector<std::string>& args, std::size_t& i, CliOptions& o) {
    const std::string& arg = args[i];
    if (arg == "--still") {
        o.still = true;
        // SECONDS is optional: the next argument is taken only when it is a time.
        if (i + 1 < args.size()) {
            if (auto seconds = parseAtLeast(args[i + 1], 0.0)) {
                o.stillSeconds = seconds;
                ++i;
            }
        }
        return std::nullopt;
    }
    auto value = valueOf(args, i);
    if (!value) return error("option " + arg + " needs a value");
    if (arg == "-o" || arg == "--output") {
        if (!o.output.empty())
            return error("OUTPUT is given twice (" + o.output.string() + " and " + *value + ")");
        o.output = *value;
    } else if (arg == "-s" || arg == "--settings")
        o.settingsFile = *value;
    else if (arg == "--logo")
        o.logo = *value;
    else if (arg == "--lut")
        o.lut = *value;
    else if (arg == "--export-lut")
        o.exportLut = *value;
    else if (arg == "--lut-size") {
        const std::optional<int> size = parseAtLeast(*value, kLookTableSmallest);
        if (!size || *size > kLookTableLargest)
            return error("--lut-size takes a whole number from " + std::to_string(kLookTableSmallest) +
                         " to " + std::to_string(kLookTableLargest) + ", got \"" + *value + "\"");
        o.lutSize = *size;
    } else if (arg == "--passes") {
        if (*value != "one" && *value != "each")
            return error("--passes takes one or each, got \"" + *value + "\"");
        o.passes = *value == "one" ? PassMode::One : PassMode::Each;
    } else if (arg == "--audio-from")
        o.audioFrom = *value;
    else if (arg == "--segment") {
        o.segment = SliceNumber::parse(*value);
        if (!o.segment) return error("--segment takes K/N with 1 <= K <= N, got \"" + *value + "\"");
    } else if (arg == "--progress") {
        if (*value != "human" && *value != "json")
            return error("--progress takes human or json, got \"" + *value + "\"");
        o.progress = *value == "json" ? ProgressFormat::Json : ProgressFormat::Human;
    } else if (arg == "--list")
        o.list = *value;
    else if (arg == "-j" || arg == "--jobs" || arg == "--index") {
        const std::optional<int> number = parseAtLeast(*value, 1);
        if (!number) return error(arg + " takes a whole number from 1, got \"" + *value + "\"");
        if (arg != "--index" && *number > kMaxJobs)
            return error(arg + " takes at most " + std::to_string(kMaxJobs) + " renders at once, got " +
                         *value);
        if (arg == "--index")
            o.listIndex = number;
        else
            o.jobs = *number;
    } else if (auto problem = takeRenderOption(arg, *value, o.render))
        return *problem;
    else if (auto frameProblem = takeFrameOption(arg, *value, o.crop, o.frame, o.render)) {
        if (!frameProblem->empty()) return error(*frameProblem);
    } else if (auto spanProblem = takeSpanOption(arg, *value, o))
        return *spanProblem;
    else if (auto soundProblem = takeSoundOption(arg, *value, o.sound)) {
        if (!soundProblem->empty()) return error(*soundProblem);
    }
    else if (arg == "--set") {
        const std::size_t equals = value->find('=');
        if (equals == std::string::npos || equals == 0)
            return error("--set takes NAME=VALUE, got \"" + *value + "\"");
        o.assignments.emplace_back(value->substr(0, equals), value->substr(equals + 1));
    }
    return std::nullopt;
}

// The flag an option without a value sets, or nothing.
bool* switchOf(const std::string& arg, CliOptions& o) {
    if (arg == "-y" || arg == "--overwrite") return &o.overwrite;
    if (arg == "--skip-existing") return &o.skipExisting;
    if (arg == "--recursive") return &o.recursive;
    if (arg == "--mute") return &o.sound.mute;
    return nullptr;
}

// Why the inputs asked for cannot be taken, or nothing.
std::optional<CliExit> inputsProblem(const CliOptions& o) {
    if (o.list && !o.inputs.empty()) return error("--list takes the place of INPUT: give one or the other");
    if (o.listIndex && !o.list) return error("--index needs --list FILE");
    if (!o.list && o.inputs.empty()) return error("no INPUT given (see --help)");
    if (o.still && (o.inputs.size() > 1 || (o.list && !o.listIndex))) return error("--still takes one INPUT");
    if (o.skipExisting && o.overwrite)
        return error("--skip-existing keeps what --overwrite replaces: give one of them");
    return std::nullopt;
}

bool isValuedOption(const std::string& arg) {
    for (const char* option :
         {"-o",       "--output",  "--settings",   "-s",         "--logo",       "--set",      "--passes",
          "--still",  "--segment", "--audio-from", "--progress", "--list",       "--index",    "-j",
          "--jobs",   "--codec",   "--quality",    "--speed",    "--height",     "--preset",   "--crop",
          "--aspect", "--fill",    "--focus",      "--lut",      "--export-lut", "--lut-size", "--max-size",
          "--fps",    "--width",   "--from",       "--to",       "--cut",        "--volume",   "--loudness",
          "--true-peak"})
        if (arg == option) return true;
    return false;
}

// --NAME=VALUE as --NAME VALUE, for every option that takes a value, up to
// a "--" that ends the options. --still's value is optional, so its
// attached value must be a time.
Result<std::vector<std::string>, CliExit> splitAttachedValues(const std::vector<std::string>& args) {
    std::vector<std::string> split;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::size_t equals = arg.find('=');
        if (arg == "--") {
            split.insert(split.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
            break;
        }
        const std::string name = arg.substr(0, equals);
        if (!arg.starts_with("--") || equals == std::string::npos || !isValuedOption(name)) {
            split.push_back(arg);
            continue;
        }
        const std::string value = arg.substr(equals + 1);
        if (name == "--still" && !parseAtLeast(value, 0.0))
            return error("--still takes a time in seconds, got \"" + value + "\"");
        split.push_back(name);
        split.push_back(value);
    }
    return split;
}

std::string movieExtensions() {
    std::string list;
    for (std::string_view extension : kMovieExtensions)
        list += (list.empty() ? "." : " .") + std::string(extension);
    return list;
}

// The slice and join modes take only the options that make sense for them.
std::optional<CliExit> checkSliceModes(const CliOptions& o) {
    if (o.join && (o.segment || o.still)) return error("--join cannot be combined with --segment or --still");
    if (o.join && !o.audioFrom)
        return error("--join needs --audio-from INPUT, the movie the slices come from");
    if (!o.join && o.audioFrom) return error("--audio-from is an option of --join");
    if (!o.segment) return std::nullopt;
    if (o.still) return error("--segment cannot be combined with --still");
    if (o.inputs.size() > 1 || o.list) return error("--segment takes one INPUT");
    if (o.passes != PassMode::One) return error("--segment renders in one pass: drop --passes each");
    if (o.cut == CutMode::KeyFrames) return error("--segment cuts to the frame: drop --cut keyframes");
    if (o.output.extension() != ".mkv") return error("--segment writes Matroska: OUTPUT must end in .mkv");
    return std::nullopt;
}

// --export-lut writes a table from the look alone: no movie goes in or out.
std::optional<CliExit> exportProblem(const CliOptions& o, const std::vector<std::string>& positional) {
    if (!positional.empty()) return error("--export-lut takes no INPUT");
    if (!o.output.empty()) return error("--export-lut names its own OUTPUT: drop -o");
    if (o.join || o.segment || o.still || o.list) return error("--export-lut writes only the table");
    return std::nullopt;
}

// A span must be one, and belongs to the modes that render a movie.
std::optional<CliExit> checkSpan(const CliOptions& o) {
    if (o.span.isWhole()) return std::nullopt;
    if (o.span.in >= o.span.out)
        return error("--from " + formatTimePoint(o.span.in) + " is not before --to " +
                     formatTimePoint(o.span.out));
    if (o.still) return error("--from and --to cannot be combined with --still: give the time after --still");
    if (o.join) return error("--from and --to belong to the render of the slices, not to --join");
    return std::nullopt;
}

// The positional arguments: the INPUTs (files or folders), or the slices of a join.
std::optional<CliExit> takePositional(const std::vector<std::string>& positional, CliOptions& o) {
    if (o.join) {
        if (positional.empty()) return error("--join needs the slices to join (see --help)");
        o.parts.assign(positional.begin(), positional.end());
        return std::nullopt;
    }
    o.inputs.assign(positional.begin(), positional.end());
    if (auto problem = inputsProblem(o)) return problem;
    if (o.inputs.size() == 1) o.input = o.inputs.front();
    return std::nullopt;
}

}  // namespace

std::string usageText() {
    return "Usage: tintreel-render -o OUTPUT [-y] [--passes one|each] [--codec C] [--quality Q] [--speed S] "
           "[--height N] [--max-size SIZE]\n"
           "                       [--preset P] [--crop W:H:X:Y] [--aspect A] [--fill F] [--focus X,Y]\n"
           "                       [--fps N] [--width N] [--volume DB] [--mute] [--loudness LUFS] "
           "[--true-peak DBTP]\n"
           "                       [-s SETTINGS] [--set NAME=VALUE]... [--logo IMAGE] INPUT\n"
           "       tintreel-render --still [SECONDS] -o OUT.png|OUT.jpg [-y] [-s SETTINGS] "
           "[--set NAME=VALUE]... "
           "[--logo IMAGE] INPUT\n"
           "       tintreel-render --segment K/N -o PART_K.mkv [-y] [--from TIME] [--to TIME] [-s SETTINGS] "
           "[--set NAME=VALUE]... [--logo IMAGE] INPUT\n"
           "       tintreel-render --join -o OUTPUT [-y] --audio-from INPUT PART_1.mkv ... PART_N.mkv\n"
           "       tintreel-render -o FOLDER|TEMPLATE [-j N] [--skip-existing|-y] [--recursive] [...] "
           "INPUT|FOLDER...\n"
           "       tintreel-render --list FILE [--index K] -o OUTPUT|FOLDER|TEMPLATE [...]\n"
           "       tintreel-render --export-lut OUT.cube [-y] [-s SETTINGS] [--set NAME=VALUE]... "
           "[--lut FILE] [--lut-size N]\n"
           "\n"
           "Renders INPUT, a movie with a video track, through the effects the settings enable and writes\n"
           "the result to OUTPUT in the container its name says: .mp4 .m4v .mov .3gp .3g2 .mkv or .webm.\n"
           "Video is H.264 (VP9 in .webm) unless --codec says otherwise; audio is copied, or re-encoded\n"
           "(AAC, Opus in .webm) with a line saying so when the container does not take it. With no effect\n"
           "enabled and OUTPUT in INPUT's container, INPUT is copied unless a codec, quality or height\n"
           "is asked for.\n"
           "OUTPUT.gif or OUTPUT.webp is an animated picture that loops forever, without sound (a line says\n"
           "so when INPUT has some): a GIF with one dithered palette of at most 256 colours made for the\n"
           "whole animation in two passes, a WebP in one; not with --codec, --quality, --height or "
           "--max-size.\n"
           "With --still, writes the still preview instead, a PNG or a JPEG as OUT's name says (.png,\n"
           ".jpg, .jpeg): of a PNG or JPEG picture INPUT, or of the movie frame at SECONDS (default 0).\n"
           "Movies: " +
           movieExtensions() +
           "\n"
           "\n"
           "  -o, --output PATH      where to write the result; its folder must exist and be writable\n"
           "  -y, --overwrite        replace OUTPUT when it exists (never when it is INPUT itself); without\n"
           "                         it not even a file that appears at OUTPUT while the render runs is\n"
           "                         replaced: that run fails (status 1) and the file stays\n"
           "  -s, --settings FILE    a settings file saved by the editor (a profile)\n"
           "      --set NAME=VALUE   one control by its name, e.g. --set checkSepia=1 --set "
           "sliderSepiaIntensity=0.8;\n"
           "                         later --set wins over the file, which wins over the defaults;\n"
           "                         the font takes any family, e.g. --set comboTextFontType=\"DejaVu "
           "Serif\"\n"
           "      --logo IMAGE       the picture of the image watermark (PNG or JPEG)\n"
           "      --lut FILE         a colour table (.cube .3dl .csp .spi1d .spi3d .clf ...), switched on\n"
           "                         at strength 100% (--set sliderColorTableStrength=0.5 for half); one\n"
           "                         that cannot be read is refused with status 2 and the reader's message\n"
           "      --export-lut OUT.cube  write the look's per-pixel steps (adjustments, black and white,\n"
           "                         sepia, the colour table) as a 3D table instead of rendering; the steps\n"
           "                         a table cannot hold are named in one line and in the file\n"
           "      --lut-size N       the exported table's grid, 17 to 65 (default 33)\n"
           "      --passes one|each  one: every effect on each frame in one decode and encode (default);\n"
           "                         each: one whole pass over the movie per effect\n"
           "      --codec C          h264 (default), h265, av1, or vp9 (the default in .webm); a codec\n"
           "                         OUTPUT's container cannot hold is refused\n"
           "      --quality Q        high (default, visually transparent), standard, small, or crf=N on\n"
           "                         the codec's own scale (0-51 for H.264 and H.265, 0-63 for AV1 and VP9)\n"
           "      --speed S          faster, balanced (default) or smaller: more time for a smaller file\n"
           "      --height N         scale down to at most N pixels high (2160, 1080, 720, 480, ...),\n"
           "                         keeping the aspect; a smaller movie is never scaled up\n"
           "      --preset P         an output preset: its aspect (crop to fill unless the look or --fill\n"
           "                         says otherwise) and exactly its size, scaling a smaller movie up;\n"
           "                         --aspect, --fill and --height win over it. P is the short name or\n"
           "                         the window's name:\n" +
           presetHelp() +
           "      --crop W:H:X:Y     keep only this rectangle, in pixels of the upright picture, before\n"
           "                         anything else; with many inputs, a job whose frame it does not fit "
           "fails\n"
           "      --aspect A         reframe onto a canvas of aspect A: original, 16:9, 9:16, 1:1, 4:5,\n"
           "                         4:3, 21:9 or any W:H; the canvas keeps the frame's longer side\n"
           "                         (1920x1080 to 9:16 gives 1080x1920), sizes rounded to even\n"
           "      --fill F           how the frame fills that canvas: crop (default: crop to fill),\n"
           "                         blur (the whole frame on a blurred, darkened copy of itself) or\n"
           "                         bars[:COLOR] (the whole frame on a plain colour, #rrggbb or a name\n"
           "                         such as white; default black)\n"
           "      --focus X,Y        crop to fill keeps this point in view, as fractions of the frame\n"
           "                         from 0 to 1 (default 0.5,0.5, the middle)\n"
           "                         --aspect, --fill and --focus win over the settings file and --set\n"
           "      --max-size SIZE    make OUTPUT at most SIZE: bytes, or with k, M or G for 10^3, 10^6\n"
           "                         or 10^9 bytes (8M, 1.5G); the video's bit rate follows from the\n"
           "                         duration and the sound (copied when it fits, else re-encoded\n"
           "                         smaller), H.264 and H.265 in two passes; the file ends at 85 % of\n"
           "                         SIZE or more unless the best picture needs less (a line says so).\n"
           "                         Not with --quality; a SIZE too small for the sound is refused\n"
           "      --fps N            a .gif or .webp OUTPUT: at most N frames a second (default 15);\n"
           "                         frames of a faster movie are dropped evenly\n"
           "      --width N          a .gif or .webp OUTPUT: at most N pixels wide (default 480), keeping\n"
           "                         the shape; sizes are even\n"
           "      --from T, --to T   render only [T1, T2) of each INPUT: from the frame shown at T1 up to\n"
           "                         the last frame before T2, sound cut to the sample and encoded again\n"
           "                         (AAC, Opus in .webm and .mkv), subtitles, chapters and timed\n"
           "                         watermarks counted from T1. T is seconds (12.5), m:ss.ff or\n"
           "                         h:mm:ss.ff; --to past the end means the end; a movie shorter than\n"
           "                         --from fails its job\n"
           "      --cut exact|keyframes  exact (default): the span is encoded to the frame even without\n"
           "                         effects; keyframes: without effects, packets are copied from the\n"
           "                         key frame at or before --from (fast, starts early)\n"
           "      --volume DB        raise or lower every audio track by DB decibels, -30 to 20\n"
           "      --mute             write silent audio tracks of the same length (players and sites\n"
           "                         expect a track)\n"
           "      --loudness LUFS    bring each audio track's integrated loudness (ITU-R BS.1770) to LUFS,\n"
           "                         -70 to -5 (-14 for streaming, -23 for broadcast), by one constant\n"
           "                         gain measured over the output's span; no compression\n"
           "      --true-peak DBTP   the ceiling that gain keeps the true peak under, -9 to 0 (default -1);\n"
           "                         a track it holds back ends quieter than the target, with a line\n"
           "                         saying by how much. Fades: --set stepperAudioFadeIn=S and\n"
           "                         --set stepperAudioFadeOut=S (linear; at most half the output)\n"
           "                         When any sound control is set the sound is encoded again (AAC, Opus\n"
           "                         in .webm and .mkv); without a picture step the video is then copied.\n"
           "                         Each video of a batch is measured on its own; a movie without sound\n"
           "                         ignores them with one line\n"
           "      --still [SECONDS]  write a still preview instead of a movie\n"
           "      --segment K/N      render only the K-th of N equal slices of INPUT's duration, without\n"
           "                         audio, into OUTPUT.mkv (for spreading one movie over several workers);\n"
           "                         N is at most the number of frames INPUT has. With --from/--to the\n"
           "                         slices split that span instead, record it, and timed watermarks count\n"
           "                         from --from\n"
           "      --join             write OUTPUT from the slices given instead of INPUT, without encoding "
           "again\n"
           "      --audio-from INPUT with --join: the movie the slices come from; its audio is copied, or\n"
           "                         shaped once as the slices' sound controls say; slices of a span cut\n"
           "                         it to that span to the sample (encoded again, as --from/--to does)\n"
           "                         The join refuses (status 2) slices that are missing or given twice,\n"
           "                         of another count, cut from another movie (each slice records its\n"
           "                         movie's size, length, tracks and a fingerprint of the file) or to\n"
           "                         another --from/--to span, rendered with another look or encoded\n"
           "                         differently, and an --audio-from INPUT that is not the movie the\n"
           "                         slices were cut from\n"
           "\n"
           "Many inputs: an INPUT folder gives the movies directly in it (--recursive: and in its "
           "subfolders,\n"
           "mirrored under an OUTPUT folder). OUTPUT is then an existing folder (each output keeps its "
           "input's\n"
           "name and container, or .mp4) or a template with {name} {ext} {dir} {n}, e.g. "
           "'out/{name}_look.mp4'.\n"
           "  -j, --jobs N           render N inputs at once (default 1, at most 64)\n"
           "      --skip-existing    leave an existing output alone and count it as skipped (resumes a "
           "batch)\n"
           "      --recursive        descend into the subfolders of INPUT folders\n"
           "      --list FILE        the inputs are the lines of FILE; --index K takes only line K (from 1)\n"
           "      --progress json    standard error carries only JSON objects, one per line\n"
           "  -h, --help             show this help\n"
           "      --version          show the version\n"
           "      --                 end of the options: what follows is INPUT, even when it starts with -\n"
           "Every long option that takes a value also takes it as --option=value.\n"
           "\n"
           "Limits, refused with status 2 before the file is opened: INPUT, the settings file,\n"
           "the logo, the colour table and the list must be regular files (not a pipe or a device); a\n"
           "settings file of at most 1 MiB, a colour table of at most 64 MiB, a list of at most 16 MiB,\n"
           "pictures of at most 100 megapixels and 16384 pixels a side. A job fails for a movie whose\n"
           "frame is larger than 8192\n"
           "pixels a side, one cut short (it ends before the length its file announces), one\n"
           "with packets its file marks as damaged or a frame the decoder cannot read, and a\n"
           "render that runs out of memory.\n"
           "\n"
           "A run first removes the partial files beside its OUTPUT and the temporary folders that killed\n"
           "runs on this machine left behind (never those of another machine or of a running process).\n"
           "\n"
           "Exit status: 0 done, 1 the render failed, 2 bad arguments, INPUT or OUTPUT (nothing written),\n"
           "130 cancelled. With many inputs: 0 every job done or skipped, 1 any failed, 2 bad arguments\n"
           "(nothing started), 130 cancelled.\n"
           "SIGINT (Ctrl-C), SIGTERM, SIGHUP (a closed terminal or SSH session) and SIGPIPE (a closed\n"
           "output, as under | head) cancel the run: nothing is left at OUTPUT or in the temporary folder,\n"
           "and the status is 130.\n";
}

std::optional<StillFormat> stillFormatOf(const std::filesystem::path& output) {
    const std::string extension = lowerExtension(output);
    if (extension == "png") return StillFormat::Png;
    if (extension == "jpg" || extension == "jpeg") return StillFormat::Jpeg;
    return std::nullopt;
}

Result<CliOptions, CliExit> parseCommandLine(const std::vector<std::string>& given) {
    const auto split = splitAttachedValues(given);
    if (!split) return split.failure();
    const std::vector<std::string>& args = *split;
    CliOptions options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {  // everything after it is INPUT, even a name starting with -
            positional.insert(positional.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                              args.end());
            break;
        }
        if (arg == "-h" || arg == "--help") return CliExit{kExitSuccess, usageText()};
        if (arg == "--version")
            return CliExit{kExitSuccess, std::string("tintreel-render ") + TINTREEL_VERSION};
        if (bool* flag = switchOf(arg, options)) {
            *flag = true;
            continue;
        }
        if (arg == "--join") {
            options.join = true;
            continue;
        }
        if (arg.starts_with("-j") && arg.size() > 2) {  // -j2 as -j 2
            const std::vector<std::string> split{"-j", arg.substr(2)};
            std::size_t at = 0;
            if (auto failure = takeOption(split, at, options)) return *failure;
        } else if (isValuedOption(arg)) {
            if (auto failure = takeOption(args, i, options)) return *failure;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return error("unknown option " + arg + " (see --help)");
        } else {
            positional.push_back(arg);
        }
    }
    if (options.exportLut) {
        if (auto failure = exportProblem(options, positional)) return *failure;
        return options;
    }
    if (auto failure = takePositional(positional, options)) return *failure;
    if (options.output.empty()) return error("no OUTPUT given: use -o PATH");
    if (auto failure = checkSliceModes(options)) return *failure;
    if (options.render.maxBytes > 0 && std::find(args.begin(), args.end(), "--quality") != args.end())
        return error("--max-size sets the quality itself: drop --quality");
    const bool shapesAnimation = options.render.animation != AnimationLimits{};
    if (shapesAnimation && isRenderedExtension(lowerExtension(options.output)))
        return error("--fps and --width shape an animated .gif or .webp OUTPUT, not a movie");
    if (auto failure = checkSpan(options)) return *failure;
    return options;
}

Result<Look> resolveLook(const CliOptions& options) {
    Profile profile{defaultEffectSettings(), {}};
    if (options.settingsFile) {
        Result<Profile> read = readProfileFile(*options.settingsFile, profile.settings);
        if (!read) return Error{read.error()};
        profile = std::move(*read);
    }
    if (options.lut) {
        // --lut turns the table on at full strength; a --set of the strength still wins.
        std::error_code ec;
        const std::filesystem::path full = std::filesystem::absolute(*options.lut, ec);
        profile.settings.textFieldColorTable = (ec ? *options.lut : full).string();
        profile.settings.checkColorTable = 1;
        profile.settings.sliderColorTableStrength = 1.0f;
    }
    for (const auto& [name, value] : options.assignments)
        if (const Status assigned = assignNamedSetting(profile.settings, name, value); !assigned)
            return Error{"--set " + name + ": " + assigned.error()};
    applyFrameChoices(profile.settings, options.frame, options.render.preset);
    applySoundChoices(profile.settings, options.sound);
    // --logo wins over the profile's picture.
    Look look{profile.settings, options.logo ? options.logo : profile.logoToShow(), std::nullopt};
    if (look.settings.checkTextWatermark == 1)
        look.fontNote = fontSubstitutionNote(
            chosenFontFamily(look.settings.comboTextFontType, look.settings.textFontFamily));
    return look;
}

}  // namespace tintreel
