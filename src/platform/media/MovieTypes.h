#pragma once
// The movie file types the editor and tintreel-render accept, by extension
// (lower case, without the dot), in the order the panels list them; and the
// container a render writes for each. The open panel, the drop check and the
// command line all read this one list. An accepted extension only lets the
// file be probed: it is used when FFmpeg opens it and finds a video stream.
// Still pictures are not movies here.
//
// The first kRenderedMovieExtensions.size() entries, the MPEG-4 family, are the
// containers our writer puts H.264 and copied audio into; a movie in any other
// container renders into ".mp4". Plain data: any thread.

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace tintreel {

inline constexpr std::array<std::string_view, 16> kMovieExtensions{
    "mov", "m4v", "mp4", "3gp", "3g2", "mkv", "webm", "avi", "ts", "mts", "m2ts", "mpg", "mpeg", "flv", "ogv", "wmv"};

inline constexpr std::span<const std::string_view> kRenderedMovieExtensions{kMovieExtensions.data(), 5};

// True when `path` ends in one of kMovieExtensions, in any case.
bool hasMovieExtension(const std::filesystem::path& path);

// The extension (without the dot) of a movie rendered from `input`: the
// input's own, as spelt, when it is of the MPEG-4 family, else "mp4".
std::string renderedExtensionFor(const std::filesystem::path& input);

}  // namespace tintreel
