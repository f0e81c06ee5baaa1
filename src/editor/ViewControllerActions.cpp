// ViewController: what each control's action does. Every action runs on the
// GUI thread and, by the control's rule, refreshes the still preview always,
// only when its group is switched on, or only when a typed text differs from
// the current settings record.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "editor/ControlBinding.h"
#include "settings/ControlCatalogue.h"
#include "settings/PairInput.h"
#include "settings/SettingsRecord.h"
#include "editor/ViewController.h"
#include "platform/ui/ColorWell.h"
#include "platform/ui/FloatSlider.h"
#include "platform/ui/Stepper.h"

namespace tintreel {

void ViewController::connectControls() {
    for (const ControlRow& control : controlCatalogue()) connectControl(control);
    for (const GroupRow& group : controlGroups()) {
        if (group.resetOutlet.empty()) continue;
        connect(outlets_.get<QPushButton>(group.resetOutlet), &QPushButton::clicked, this,
                [this, &group] { onGroupReset(group); });
    }
    connect(controls_.selectVideo, &QPushButton::clicked, this, &ViewController::OnSelectVideo);
    connect(controls_.generatePreview, &QPushButton::clicked, this, &ViewController::OnGeneratePreview);
    connect(controls_.saveVideo, &QPushButton::clicked, this, &ViewController::OnSaveVideo);
    connect(controls_.zoomIn, &QPushButton::clicked, this, &ViewController::OnZoomIn);
    connect(controls_.zoomOut, &QPushButton::clicked, this, &ViewController::OnZoomOut);
    connect(controls_.resetZoom, &QPushButton::clicked, this, &ViewController::OnResetZoom);
    connect(controls_.browseStepper, &Stepper::activated, this, &ViewController::onBrowseStepper);
}

void ViewController::connectControl(const ControlRow& control) {
    const auto act = [this, &control] { onControlAction(control); };
    switch (control.kind) {
        case ControlKind::Slider: connect(outlets_.get<FloatSlider>(control.outlet), &FloatSlider::activated, this, act); break;
        case ControlKind::Check: connect(outlets_.get<QCheckBox>(control.outlet), &QCheckBox::clicked, this, act); break;
        case ControlKind::PopUp:
        case ControlKind::FontPopUp: connect(outlets_.get<QComboBox>(control.outlet), &QComboBox::activated, this, act); break;
        case ControlKind::ColorWell: connect(outlets_.get<ColorWell>(control.outlet), &ColorWell::activated, this, act); break;
        case ControlKind::Pair:
            connect(outlets_.get<Stepper>(control.outlet), &Stepper::activated, this, [this, &control] { onPairStepper(control); });
            connect(outlets_.get<QLineEdit>(control.textOutlet), &QLineEdit::editingFinished, this,
                    [this, &control] { onPairTextEdited(control); });
            break;
        case ControlKind::MatrixCell:
            connect(outlets_.get<Stepper>(control.outlet), &Stepper::activated, this, [this, &control] { onMatrixCell(control); });
            break;
        case ControlKind::Text: {
            auto* field = outlets_.get<QLineEdit>(control.outlet);
            if (field == controls_.watermarkText)
                connect(field, &QLineEdit::editingFinished, this, &ViewController::OnTextChanged);
            else
                field->setReadOnly(true);  // shows the chosen picture's name, or the table's path
            break;
        }
        case ControlKind::Button: {
            void (ViewController::*command)() = &ViewController::OnSelectImage;
            if (control.outlet == "buttonSelectColorTable") command = &ViewController::OnSelectColorTable;
            if (control.outlet == "buttonClearColorTable") command = &ViewController::OnClearColorTable;
            connect(outlets_.get<QPushButton>(control.outlet), &QPushButton::clicked, this, command);
            break;
        }
    }
}

int ViewController::groupCheckState(GroupId group) const {
    const std::string_view check = groupSpec(group).checkOutlet;
    if (check.empty()) return 1;
    return outlets_.get<QCheckBox>(check)->checkState() == Qt::Checked ? 1 : 0;
}

void ViewController::refreshIf(int gateState) {
    sessionKeeper_.changed();
    if (gateState == 1) UpdateImageEffect();
}

// Sliders, check boxes, pop-ups and the colour well. Adjustments and a
// group's own check box refresh always (switching off included); the other
// controls only while their group is on.
void ViewController::onControlAction(const ControlRow& control) {
    const GroupRow& group = groupSpec(control.group);
    if (control.group == GroupId::Adjustments || control.outlet == group.checkOutlet) return UpdateImageEffect();
    refreshIf(groupCheckState(control.group));
}

void ViewController::onPairStepper(const ControlRow& control) {
    const float value = outlets_.get<Stepper>(control.outlet)->floatValue();
    outlets_.get<QLineEdit>(control.textOutlet)->setText(QString::fromStdString(formatFieldNumber(value)));
    refreshIf(groupCheckState(control.group));
}

void ViewController::onPairTextEdited(const ControlRow& control) {
    sessionKeeper_.changed();
    auto* field = outlets_.get<QLineEdit>(control.textOutlet);
    const PairEdit edit = editPair(control, field->text().toStdString());
    if (edit.replacementText) field->setText(QString::fromStdString(*edit.replacementText));
    outlets_.get<Stepper>(control.outlet)->setDoubleValue(edit.value);
    if (groupCheckState(control.group) != 1) return;
    if (!control.rule.comparesWithRecord || differsFromCurrentRecord(field->text(), control.textOutlet))
        UpdateImageEffect();
}

void ViewController::onMatrixCell(const ControlRow& control) {
    const float value = outlets_.get<Stepper>(control.outlet)->floatValue();
    outlets_.get<QLineEdit>(control.textOutlet)->setText(QString::fromStdString(FloatToFormattedString(value)));
    refreshIf(groupCheckState(GroupId::Transform3D));
}

void ViewController::OnTextChanged() {
    sessionKeeper_.changed();
    if (groupCheckState(GroupId::TextWatermark) != 1) return;
    if (differsFromCurrentRecord(controls_.watermarkText->text(), "textFieldText"))
        UpdateImageEffect();
}

// Compares a field's whole text with its line of the current settings record
// (texts that differ only in Unicode normalisation count as equal).
bool ViewController::differsFromCurrentRecord(const QString& text, std::string_view outlet) const {
    const std::string* record = history_.currentRecord();
    const std::optional<int> line = settingsRecordLine(outlet);
    if (!record || !line) return true;
    const std::vector<std::string> lines = splitRecordLines(*record);
    if (*line >= static_cast<int>(lines.size())) return true;
    const QString recorded = QString::fromStdString(lines[static_cast<std::size_t>(*line)]);
    return text.normalized(QString::NormalizationForm_C) != recorded.normalized(QString::NormalizationForm_C);
}

void ViewController::onGroupReset(const GroupRow& group) {
    EffectSettings settings = currentSettings();
    if (group.resetSkipsWhenDefault && groupIsAtDefault(settings, group.id)) return;
    resetGroup(settings, group.id);
    for (const ControlRow& control : controlCatalogue())
        if (control.group == group.id) writeControl(outlets_, control, settings);
    if (group.resetClearsLogo) clearLogo();
    refreshIf(groupState(settings, group.id));
}

}  // namespace tintreel
