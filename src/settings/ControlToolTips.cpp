#include "settings/ControlToolTips.h"

#include <cstdio>

namespace tintreel {
namespace {

// `value` as the window shows it: a slider's in its display units, other
// numbers plainly.
std::string shown(const ControlRow& control, float value) {
    const bool slider = control.kind == ControlKind::Slider;
    const SliderDisplay display = slider ? control.display : SliderDisplay{1, "", 2};
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", display.decimals, static_cast<double>(value * display.scale));
    std::string number = text;
    if (!slider && number.find('.') != std::string::npos) {
        number.erase(number.find_last_not_of('0') + 1);  // 1.00 -> 1, 0.50 -> 0.5
        if (number.back() == '.') number.pop_back();
    }
    return number + std::string(display.unit);
}

std::string range(const ControlRow& control) {
    return shown(control, control.minimum) + " to " + shown(control, control.maximum) + ", default " +
           shown(control, control.defaultValue);
}

std::string what(const ControlRow& control, const GroupRow& group) {
    const std::string label(control.label);
    switch (control.kind) {
        case ControlKind::Slider:
            return label + ": " + range(control) + ". Double-click the slider for the default.";
        case ControlKind::Pair:
            return label + ": " + range(control) + ". Type a number or use the arrows.";
        case ControlKind::MatrixCell:
            return "One cell of the matrix: " + range(control) + ".";
        case ControlKind::PopUp: {
            const auto index = static_cast<std::size_t>(control.defaultValue);
            return label + ": one of " + std::to_string(control.items.size()) + ", default " +
                   std::string(control.items[index]) + ".";
        }
        case ControlKind::FontPopUp:
            return label + ": the families installed here; a family that is not installed is marked missing.";
        case ControlKind::Check:
            return control.outlet == group.checkOutlet ? "Tick to apply it." : label + ": tick to add it.";
        case ControlKind::Text:
            return label + " of the watermark.";
        case ControlKind::ColorWell:
            return "The colour of the text; click to choose another.";
        case ControlKind::Button:
            return "Choose the picture from a file (PNG or JPEG).";
    }
    return label;
}

}  // namespace

std::string controlToolTip(const ControlRow& control) {
    const GroupRow& group = groupSpec(control.group);
    std::string tip = std::string(group.purpose) + ".\n" + what(control, group);
    if (!control.note.empty()) tip += " " + std::string(control.note);
    return tip;
}

}  // namespace tintreel
