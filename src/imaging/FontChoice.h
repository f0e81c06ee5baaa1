#pragma once
// The fonts of this machine as the text watermark uses them: which families
// are installed, the one way the watermark makes its font, and what draws
// in place of a family that is not installed (Qt's font matching picks it;
// QFontInfo says which one it picked, so what we report is what is drawn).
//
// Needs a QGuiApplication (any platform, offscreen included); callable from
// any thread once it exists.

#include <QFont>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tintreel {

// The watermark's font: `family` at `pointSize` points.
QFont watermarkFont(std::string_view family, double pointSize);

// The family that draws when the watermark asks for `family`.
std::string drawnFontFamily(std::string_view family);

// Whether `family` itself draws (it is installed under that name).
bool isFontInstalled(std::string_view family);

// The installed families a user can choose: those of the font list
// (FontFamilies.h) first, in its order, then every other one in the font
// database's order. Families private to the system are left out.
std::vector<std::string> installedFontFamilies();

// One sentence saying which family draws in place of `family` when it is not
// installed (e.g. `The font "Foo" is not installed; "DejaVu Sans" draws the
// text instead.`); nothing when it is installed.
std::optional<std::string> fontSubstitutionNote(std::string_view family);

}  // namespace tintreel
