#include "imaging/FontChoice.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>
#include <algorithm>

#include "imaging/FontFamilies.h"
#include "platform/system/QtText.h"

namespace tintreel {
QFont watermarkFont(std::string_view family, double pointSize) {
    QFont font(qstring(family));
    font.setPointSizeF(pointSize);
    return font;
}

std::string drawnFontFamily(std::string_view family) {
    // Any size gives the same family; 12 points keeps the lookup cheap.
    return QFontInfo(watermarkFont(family, 12.0)).family().toStdString();
}

bool isFontInstalled(std::string_view family) {
    return !family.empty() &&
           qstring(drawnFontFamily(family)).compare(qstring(family), Qt::CaseInsensitive) == 0;
}

std::vector<std::string> installedFontFamilies() {
    std::vector<std::string> families;
    for (std::string_view listed : kFontFamilies)
        if (isFontInstalled(listed)) families.emplace_back(listed);
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::isPrivateFamily(family)) continue;
        const std::string name = family.toStdString();
        if (fontFamilyIndex(name) < 0 && isFontInstalled(name)) families.push_back(name);
    }
    return families;
}

std::optional<std::string> fontSubstitutionNote(std::string_view family) {
    if (isFontInstalled(family)) return std::nullopt;
    return "The font \"" + std::string(family) + "\" is not installed; \"" + drawnFontFamily(family) +
           "\" draws the text instead.";
}

}  // namespace tintreel
