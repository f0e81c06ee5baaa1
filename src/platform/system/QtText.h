#pragma once
// Our text (UTF-8 in std::string and std::string_view) as Qt's QString.
// Pure; any thread.

#include <QString>
#include <string_view>

namespace tintreel {

inline QString qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace tintreel
