#include "editor/ControlBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "settings/ControlCatalogue.h"
#include "editor/FontPopUp.h"
#include "editor/Outlets.h"
#include "platform/ui/ColorWell.h"
#include "platform/ui/FloatSlider.h"
#include "platform/ui/Stepper.h"

namespace tintreel {
namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

RgbColor toRgb(const QColor& color) {
    // Colours picked in another model are converted, so the record always holds RGB.
    const QColor rgb = color.toRgb();
    return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

QColor toQColor(const RgbColor& c) {
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green), static_cast<float>(c.blue),
                            static_cast<float>(c.alpha));
}

int checkState(const QCheckBox* check) { return check->checkState() == Qt::Checked ? 1 : 0; }

void readControl(const Outlets& outlets, const ControlRow& control, EffectSettings& s) {
    switch (control.kind) {
        case ControlKind::Slider: control.number.of(s) = outlets.get<FloatSlider>(control.outlet)->floatValue(); break;
        case ControlKind::Pair:
        case ControlKind::MatrixCell:
            control.number.of(s) = outlets.get<Stepper>(control.outlet)->floatValue();
            control.text.of(s) = outlets.get<QLineEdit>(control.textOutlet)->text().toStdString();
            break;
        case ControlKind::Check: s.*control.state = checkState(outlets.get<QCheckBox>(control.outlet)); break;
        case ControlKind::PopUp: s.*control.state = outlets.get<QComboBox>(control.outlet)->currentIndex(); break;
        case ControlKind::FontPopUp: {
            const auto* font = outlets.get<FontPopUp>(control.outlet);
            s.*control.state = font->listIndex();
            control.text.of(s) = font->family().toStdString();
            break;
        }
        case ControlKind::Text: control.text.of(s) = outlets.get<QLineEdit>(control.outlet)->text().toStdString(); break;
        case ControlKind::ColorWell: s.*control.color = toRgb(outlets.get<ColorWell>(control.outlet)->color()); break;
        case ControlKind::Button: break;
    }
}

}  // namespace

EffectSettings readSettings(const Outlets& outlets) {
    EffectSettings settings;
    for (const ControlRow& control : controlCatalogue()) readControl(outlets, control, settings);
    return settings;
}

void writeControl(const Outlets& outlets, const ControlRow& control, const EffectSettings& s) {
    switch (control.kind) {
        case ControlKind::Slider: outlets.get<FloatSlider>(control.outlet)->setFloatValue(control.number.of(s)); break;
        case ControlKind::Pair:
        case ControlKind::MatrixCell:
            outlets.get<Stepper>(control.outlet)->setDoubleValue(control.number.of(s));
            outlets.get<QLineEdit>(control.textOutlet)->setText(qs(control.text.of(s)));
            break;
        case ControlKind::Check:
            outlets.get<QCheckBox>(control.outlet)->setChecked(s.*control.state == 1);
            break;
        case ControlKind::PopUp: outlets.get<QComboBox>(control.outlet)->setCurrentIndex(s.*control.state); break;
        case ControlKind::FontPopUp:
            outlets.get<FontPopUp>(control.outlet)->setChoice(s.*control.state, qs(control.text.of(s)));
            break;
        case ControlKind::Text: outlets.get<QLineEdit>(control.outlet)->setText(qs(control.text.of(s))); break;
        case ControlKind::ColorWell: outlets.get<ColorWell>(control.outlet)->setColor(toQColor(s.*control.color)); break;
        case ControlKind::Button: break;
    }
}

void writeSettings(const Outlets& outlets, const EffectSettings& settings) {
    for (const ControlRow& control : controlCatalogue()) writeControl(outlets, control, settings);
}

}  // namespace tintreel
