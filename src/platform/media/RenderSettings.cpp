#include "platform/media/RenderSettings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tintreel {
namespace {

// One row per codec. crf and preset are indexed by QualityLevel and EncodeSpeed.
// High is today's transparent H.264 CRF 16; the other codecs' High, Standard
// and Small are placed on their own scales to give about the same look as
// H.264's at 16, 21 and 26. Balanced is x264's "medium".
struct CodecRow {
    VideoCodec codec;
    std::string_view name;
    std::string_view label;
    const char* encoder;
    int maxCrf;
    std::array<int, 3> crf;  // High, Standard, Small
    const char* presetOption;
    std::array<const char*, 3> preset;  // Faster, Balanced, Smaller
};

// clang-format off
constexpr std::array<CodecRow, 4> kCodecs{{
    {VideoCodec::H264, "h264", "H.264", "libx264", 51, {16, 21, 26}, "preset", {"veryfast", "medium", "slow"}},
    {VideoCodec::H265, "h265", "H.265", "libx265", 51, {18, 24, 29}, "preset", {"veryfast", "medium", "slow"}},
    {VideoCodec::AV1, "av1", "AV1", "libsvtav1", 63, {24, 32, 40}, "preset", {"10", "8", "5"}},
    {VideoCodec::VP9, "vp9", "VP9", "libvpx-vp9", 63, {24, 33, 42}, "cpu-used", {"5", "3", "1"}},
}};
// clang-format on

constexpr std::array<std::string_view, 3> kQualityNames{"high", "standard", "small"};
constexpr std::array<std::string_view, 3> kSpeedNames{"faster", "balanced", "smaller"};
constexpr std::string_view kCrfPrefix = "crf=";

const CodecRow& rowOf(VideoCodec codec) {
    return *std::find_if(kCodecs.begin(), kCodecs.end(),
                         [codec](const CodecRow& row) { return row.codec == codec; });
}

template <typename Names>
std::optional<std::size_t> indexOf(const Names& names, std::string_view name) {
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end()) return std::nullopt;
    return static_cast<std::size_t>(found - names.begin());
}

}  // namespace

EncoderSetup encoderSetup(VideoCodec codec, const RenderSettings& settings) {
    const CodecRow& row = rowOf(codec);
    const int crf = std::holds_alternative<int>(settings.quality.value)
                        ? std::clamp(std::get<int>(settings.quality.value), 0, row.maxCrf)
                        : row.crf[static_cast<std::size_t>(std::get<QualityLevel>(settings.quality.value))];
    return {row.encoder, row.presetOption, row.preset[static_cast<std::size_t>(settings.speed)], crf};
}

bool encodesTwiceForSize(VideoCodec codec) {
    return codec == VideoCodec::H264 || codec == VideoCodec::H265;
}

Status checkQuality(VideoCodec codec, const Quality& quality) {
    const int* crf = std::get_if<int>(&quality.value);
    const CodecRow& row = rowOf(codec);
    if (!crf || (*crf >= 0 && *crf <= row.maxCrf)) return {};
    return Error{qualityName(quality) + " is outside 0-" + std::to_string(row.maxCrf) + " for " +
                 std::string(row.label)};
}

std::string_view codecName(VideoCodec codec) {
    return rowOf(codec).name;
}
std::string_view codecLabel(VideoCodec codec) {
    return rowOf(codec).label;
}

std::string qualityName(const Quality& quality) {
    if (const int* crf = std::get_if<int>(&quality.value))
        return std::string(kCrfPrefix) + std::to_string(*crf);
    return std::string(kQualityNames[static_cast<std::size_t>(std::get<QualityLevel>(quality.value))]);
}

std::string_view speedName(EncodeSpeed speed) {
    return kSpeedNames[static_cast<std::size_t>(speed)];
}

std::optional<VideoCodec> parseCodec(std::string_view name) {
    for (const CodecRow& row : kCodecs)
        if (row.name == name) return row.codec;
    return std::nullopt;
}

std::optional<Quality> parseQuality(std::string_view name) {
    if (const auto level = indexOf(kQualityNames, name)) return Quality{static_cast<QualityLevel>(*level)};
    if (!name.starts_with(kCrfPrefix)) return std::nullopt;
    const std::string_view digits = name.substr(kCrfPrefix.size());
    int crf = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), crf);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty() || crf < 0)
        return std::nullopt;
    return Quality{crf};
}

std::optional<EncodeSpeed> parseSpeed(std::string_view name) {
    if (const auto speed = indexOf(kSpeedNames, name)) return static_cast<EncodeSpeed>(*speed);
    return std::nullopt;
}

namespace {
constexpr std::array<OutputPreset, 6> kOutputPresets{{
    {"vertical-1080", "Vertical 1080\u00D71920", 1080, 1920},
    {"square-1080", "Square 1080\u00D71080", 1080, 1080},
    {"portrait-1080", "Portrait 1080\u00D71350", 1080, 1350},
    {"landscape-1080", "Landscape 1080p", 1920, 1080},
    {"landscape-720", "Landscape 720p", 1280, 720},
    {"4k", "4K", 3840, 2160},
}};
}  // namespace

std::span<const OutputPreset> outputPresets() {
    return kOutputPresets;
}

const OutputPreset* findOutputPreset(std::string_view text) {
    for (const OutputPreset& preset : kOutputPresets)
        if (text == preset.name || text == preset.label) return &preset;
    return nullptr;
}

std::optional<long long> parseByteSize(std::string_view text) {
    if (!text.empty() && (text.back() == 'B' || text.back() == 'b')) text.remove_suffix(1);
    double unit = 1.0;
    if (!text.empty()) {
        switch (text.back()) {
            case 'k':
            case 'K':
                unit = 1e3;
                break;
            case 'm':
            case 'M':
                unit = 1e6;
                break;
            case 'g':
            case 'G':
                unit = 1e9;
                break;
            default:
                break;
        }
        if (unit > 1.0) text.remove_suffix(1);
    }
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(number))
        return std::nullopt;
    const double bytes = std::floor(number * unit);
    // Past a petabyte no target means anything; it also keeps the cast exact.
    if (!(bytes >= 1.0) || bytes > 1e15) return std::nullopt;
    return static_cast<long long>(bytes);
}

std::string byteSizeText(long long bytes) {
    constexpr std::array<std::pair<double, const char*>, 3> units{{{1e9, "GB"}, {1e6, "MB"}, {1e3, "kB"}}};
    for (const auto& [unit, name] : units) {
        if (static_cast<double>(bytes) < unit) continue;
        char text[32];
        std::snprintf(text, sizeof text, "%.3g %s", static_cast<double>(bytes) / unit, name);
        return text;
    }
    return std::to_string(bytes) + " bytes";
}

}  // namespace tintreel
