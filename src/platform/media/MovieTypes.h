#pragma once
// The movie file types the editor opens, renders and saves, by extension
// (lower case, without the dot), in the order the panels list them.

#include <array>
#include <string_view>

namespace tintreel {

inline constexpr std::array<std::string_view, 5> kMovieExtensions{"mov", "m4v", "mp4", "3gp", "3g2"};

}  // namespace tintreel
