#pragma once
// RenderSettings: how the final movie of a render is encoded, chosen by the
// user (options of tintreel-render, the window's Render Settings dialog).
// They are not effect settings and never enter the settings record, so
// profiles keep their layout.
//
// The codec table below is the one place that says what each quality and
// speed name means for each encoder: quality names map onto the encoder's own
// constant-quality scale, speed names onto its preset. Plain data: any thread.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "platform/system/Result.h"

namespace tintreel {

enum class VideoCodec { H264, H265, AV1, VP9 };

enum class QualityLevel { High, Standard, Small };

// A named level, or a constant-rate-factor number on the codec's own scale.
struct Quality {
    std::variant<QualityLevel, int> value = QualityLevel::High;
    bool operator==(const Quality&) const = default;
};

enum class EncodeSpeed { Faster, Balanced, Smaller };

// A named output size: the window lists `label`, the command line takes
// `name` or the label. The output gets the preset's aspect and exactly its
// size (a smaller movie is scaled up).
struct OutputPreset {
    std::string_view name;
    std::string_view label;
    int width;
    int height;
};

// How large an animated picture (GIF, WebP) may be: the most frames a
// second and the widest it is, in pixels.
struct AnimationLimits {
    int framesPerSecond = 15;
    int width = 480;
    bool operator==(const AnimationLimits&) const = default;
};

struct RenderSettings {
    // Nothing: the container's own default (H.264; VP9 in WebM).
    std::optional<VideoCodec> codec = {};
    Quality quality = {};  // High: visually transparent for most material
    EncodeSpeed speed = EncodeSpeed::Balanced;
    // The tallest the final movie may be; 0 keeps the source's size. A movie
    // is only ever scaled down, keeping its aspect.
    int maxHeight = 0;
    // An output preset from outputPresets(), or none. An asked height wins
    // over the preset's size.
    const OutputPreset* preset = nullptr;
    // The most bytes the final file may take; 0 for no limit. With a limit
    // the video gets an average bit rate instead of the quality.
    long long maxBytes = 0;
    AnimationLimits animation = {};  // for a GIF or WebP output only

    // Whether anything was asked that a copy of the source would not give:
    // a codec, a quality, a size or a file size.
    bool asksForEncoding() const {
        return codec || quality != Quality{} || maxHeight > 0 || preset || maxBytes > 0;
    }
    bool operator==(const RenderSettings&) const = default;
};

// How one codec is set up: its encoder and what the names mean on its scales.
struct EncoderSetup {
    const char* encoder;       // FFmpeg's encoder name
    const char* presetOption;  // the encoder's option that trades time for size
    const char* preset;        // its value for the asked speed
    int crf;                   // the constant rate factor for the asked quality
};

// The encoder setup for `codec` at `settings`' quality and speed. A CRF
// number outside the codec's scale is clamped; validate with checkQuality first.
EncoderSetup encoderSetup(VideoCodec codec, const RenderSettings& settings);

// Whether a file of a given size is encoded in two passes with `codec` (a
// measuring pass, then the real one): H.264 and H.265. The others make one
// pass at the average rate.
bool encodesTwiceForSize(VideoCodec codec);

// Fails, saying why, when the quality does not fit `codec`'s scale ("crf=60
// is outside 0-51 for H.264").
Status checkQuality(VideoCodec codec, const Quality& quality);

// The short names of the command line and of QSettings ("h264", "standard",
// "crf=20", "smaller") and the labels the window shows ("H.264").
std::string_view codecName(VideoCodec codec);
std::string_view codecLabel(VideoCodec codec);
std::string qualityName(const Quality& quality);
std::string_view speedName(EncodeSpeed speed);
std::optional<VideoCodec> parseCodec(std::string_view name);
std::optional<Quality> parseQuality(std::string_view name);
std::optional<EncodeSpeed> parseSpeed(std::string_view name);

// Every output preset, in the order the window lists them.
std::span<const OutputPreset> outputPresets();
// The preset whose name or label is exactly `text`, or null.
const OutputPreset* findOutputPreset(std::string_view text);

// A file size in bytes: a plain number is bytes, and k, M and G (either
// case, an optional trailing "B") multiply by 10^3, 10^6 and 10^9; a
// fraction is allowed before a suffix ("1.5M"). Nothing for anything else,
// including a size below one byte.
std::optional<long long> parseByteSize(std::string_view text);
// "8 MB", "300 kB", "1.2 GB" or "512 bytes": a size as a person reads it.
std::string byteSizeText(long long bytes);

}  // namespace tintreel
