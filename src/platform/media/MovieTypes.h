#pragma once
// The movie file types the editor and tintreel-render accept, by extension
// (lower case, without the dot), in the order the panels list them; and the
// container a render writes for each. The open panel, the drop check and the
// command line all read this one list. An accepted extension only lets the
// file be probed: it is used when FFmpeg opens it and finds a video stream.
// Still pictures are not movies here.
//
// The first kRenderedMovieExtensions.size() entries (the MPEG-4 family,
// Matroska and WebM) are the containers our writer makes; which codecs each
// holds is FFmpeg's answer. Any thread.

#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/media/RenderSettings.h"

namespace tintreel {

inline constexpr std::array<std::string_view, 16> kMovieExtensions{"mov",  "m4v", "mp4", "3gp", "3g2",  "mkv",
                                                                   "webm", "avi", "ts",  "mts", "m2ts", "mpg",
                                                                   "mpeg", "flv", "ogv", "wmv"};

inline constexpr std::span<const std::string_view> kRenderedMovieExtensions{kMovieExtensions.data(), 7};
inline constexpr std::span<const std::string_view> kMpeg4FamilyExtensions{kMovieExtensions.data(), 5};

// The animated pictures a render writes (see AnimatedImage.h): never an input.
inline constexpr std::array<std::string_view, 2> kAnimationExtensions{"gif", "webp"};
// True for "gif" and "webp" in any case, without the dot.
bool isAnimationExtension(std::string_view extension);

// True when `path` ends in one of kMovieExtensions, in any case.
bool hasMovieExtension(const std::filesystem::path& path);

// The extension of a per-effect pass's lossless intermediate movie made from
// `input`: the input's own when it is of the MPEG-4 family, else "mp4". These
// containers keep the source's time base (Matroska rounds to milliseconds and
// shifts the start, which moved the picture against the sound).
std::string intermediateExtensionFor(const std::filesystem::path& input);

// True when the writer makes movies named with `extension` (any case, no dot).
bool isRenderedExtension(std::string_view extension);

// Whether the container named by `extension` can hold video of `codec`.
bool containerHolds(std::string_view extension, VideoCodec codec);

// The codec a final movie in the container named by `extension` gets: the
// asked one, else the container's default (VP9 in WebM, H.264 elsewhere).
VideoCodec videoCodecFor(std::string_view extension, std::optional<VideoCodec> asked);

// Fails, saying why, when a final movie named `output` cannot be written
// with `settings` (an extension the writer does not make, a codec the
// container cannot hold, a CRF outside the codec's scale).
Status checkRenderable(const std::filesystem::path& output, const RenderSettings& settings);

// The extension (without the dot) of a movie rendered from `input` with the
// `asked` codec: the input's own, as spelt, when its container is one the
// writer makes and holds that codec, else "mp4".
std::string renderedExtensionFor(const std::filesystem::path& input, std::optional<VideoCodec> asked = {});

// The extensions of kRenderedMovieExtensions whose container holds the video
// codec of `codecName` (FFmpeg's name, "h264"), in list order.
std::vector<std::string> extensionsHolding(std::string_view codecName);

// True when both names ask for the same container (".mts" and ".ts", not ".m4v" and ".mp4").
bool sameContainer(const std::filesystem::path& a, const std::filesystem::path& b);

// The extension of `path` in lower case, without the dot.
std::string lowerExtension(const std::filesystem::path& path);

}  // namespace tintreel
