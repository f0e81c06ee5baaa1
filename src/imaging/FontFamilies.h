#pragma once
// The font families a settings record's font line counts in: the line holds
// an index into this list. A record may also name any other family, which
// then wins over the index (see chosenFontFamily). Which of them are
// installed, and what draws in place of one that is not, is FontChoice.h's.
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

// The index of `family` in the list, or -1 for a family outside it.
inline int fontFamilyIndex(std::string_view family) {
    for (std::size_t i = 0; i < kFontFamilies.size(); ++i)
        if (kFontFamilies[i] == family) return static_cast<int>(i);
    return -1;
}

// The family the text watermark asks for: `family` when one is named, else
// the list's family at `index`.
inline std::string_view chosenFontFamily(int index, std::string_view family) {
    return family.empty() ? fontFamilyName(index) : family;
}

}  // namespace tintreel
