#pragma once
// The font families offered for the text watermark, in the order of the
// font pop-up. The names are kept as listed; where a family is not installed,
// Qt's font matching draws with the nearest installed one.
//
// Constant data; any thread.

#include <array>
#include <string_view>

namespace tintreel {

inline constexpr std::array<std::string_view, 20> kFontFamilies = {
    "American Typewriter",
    "Arial",
    "Chalkduster",
    "Comic Sans MS",
    "Copperplate",
    "Didot",
    "Futura",
    "Geneva",
    "Georgia",
    "Gill Sans",
    "Helvetica",
    "Impact",
    "Marker Felt",
    "Monaco",
    "Optima",
    "Papyrus",
    "Skia",
    "Times New Roman",
    "Trebuchet MS",
    "Verdana",
};

// The family at this pop-up index, or "" for an index outside the list.
inline std::string_view fontFamilyName(int index) {
    if (index < 0 || index >= static_cast<int>(kFontFamilies.size())) return {};
    return kFontFamilies[static_cast<std::size_t>(index)];
}

}  // namespace tintreel
