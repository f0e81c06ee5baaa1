#include "settings/NamedSetting.h"

#include <QColor>
#include <QString>
#include <cmath>
#include <sstream>

#include "platform/system/QtText.h"
#include "settings/ControlCatalogue.h"
#include "settings/SettingsRecord.h"
#include "settings/WholeNumber.h"

namespace tintreel {
namespace {

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

Status assignNumber(const ControlRow& control, EffectSettings& s, std::string_view value) {
    const auto number = parseWholeNumber<float>(value);
    if (!number || std::isnan(*number)) return Error{quoted(value) + " is not a number"};
    if (*number < control.minimum || *number > control.maximum) {
        std::ostringstream reason;
        reason << quoted(value) << " is outside " << control.minimum << " to " << control.maximum;
        return Error{reason.str()};
    }
    control.number.of(s) = *number;
    if (control.kind != ControlKind::Slider) control.text.of(s) = pairText(control, *number);
    return {};
}

Status assignIndex(const ControlRow& control, EffectSettings& s, std::string_view value) {
    for (std::size_t i = 0; i < control.items.size(); ++i) {
        if (control.items[i] == value) {
            s.*control.state = static_cast<int>(i);
            return {};
        }
    }
    const auto index = parseWholeNumber<int>(value);
    if (!index || *index < control.minimum || *index > control.maximum)
        return Error{quoted(value) +
                     (control.kind == ControlKind::Check ? " is not 0 or 1" : " is not one of the choices")};
    s.*control.state = *index;
    return {};
}

std::optional<RgbColor> parseColor(std::string_view value) {
    if (value.starts_with('#')) {
        const QColor color(qstring(value));
        if (!color.isValid()) return std::nullopt;
        return RgbColor{color.redF(), color.greenF(), color.blueF(), 1.0};
    }
    double components[3];
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = value.find(',', start);
        if ((i < 2) == (comma == std::string_view::npos)) return std::nullopt;
        const auto part = parseWholeNumber<double>(value.substr(start, comma - start));
        if (!part || !(*part >= 0.0 && *part <= 1.0)) return std::nullopt;
        components[i] = *part;
        start = comma + 1;
    }
    return RgbColor{components[0], components[1], components[2], 1.0};
}

// A text is one line of the settings record: a line break in it would shift
// every later line of a profile saved with it. The value is not repeated in
// the reason, which stays one line.
Status assignText(const ControlRow& control, EffectSettings& s, std::string_view value) {
    if (hasRecordLineBreak(value)) return Error{"a text cannot hold a line break"};
    control.text.of(s) = std::string(value);
    return {};
}

// The font pop-up takes an index of the font list or any family's name.
Status assignFont(const ControlRow& control, EffectSettings& s, std::string_view value) {
    if (const auto index = parseWholeNumber<int>(value)) {
        if (*index < control.minimum || *index > control.maximum)
            return Error{quoted(value) + " is not one of the choices"};
        s.*control.state = *index;
        control.text.of(s).clear();
        return {};
    }
    if (value.empty()) return Error{"a font needs a family name or an index of the font list"};
    if (hasRecordLineBreak(value)) return Error{"a font name cannot hold a line break"};
    chooseFontFamily(control, s, std::string(value));
    return {};
}

}  // namespace

Status assignNamedSetting(EffectSettings& s, std::string_view name, std::string_view value) {
    const ControlRow* control = findControl(name);
    if (!control) return Error{"unknown setting " + quoted(name)};
    switch (control->kind) {
        case ControlKind::Slider:
        case ControlKind::Pair:
        case ControlKind::MatrixCell:
            return assignNumber(*control, s, value);
        case ControlKind::Check:
        case ControlKind::PopUp:
            return assignIndex(*control, s, value);
        case ControlKind::FontPopUp:
            return assignFont(*control, s, value);
        case ControlKind::Text:
            return assignText(*control, s, value);
        case ControlKind::ColorWell: {
            const auto color = parseColor(value);
            if (!color) return Error{quoted(value) + " is not a colour (#rrggbb or r,g,b in 0..1)"};
            s.*control->color = *color;
            return {};
        }
        case ControlKind::Button:
            break;
    }
    return Error{quoted(name) + " holds no value"};
}

}  // namespace tintreel
