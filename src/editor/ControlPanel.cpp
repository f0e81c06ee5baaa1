#include "editor/ControlPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <memory>

#include "editor/FontPopUp.h"
#include "editor/Outlets.h"
#include "platform/system/QtText.h"
#include "platform/ui/ColorWell.h"
#include "platform/ui/FloatSlider.h"
#include "platform/ui/PanelInput.h"
#include "platform/ui/SliderValueField.h"
#include "platform/ui/Stepper.h"
#include "settings/ControlCatalogue.h"
#include "settings/ControlToolTips.h"

namespace tintreel {
namespace {

constexpr std::array<std::pair<SettingsTab, std::string_view>, 6> kTabTitles{{
    {SettingsTab::Adjustments, "Adjustments"},
    {SettingsTab::Effects, "Effects"},
    {SettingsTab::Transform, "Transform"},
    {SettingsTab::TextWatermark, "Text"},
    {SettingsTab::ImageWatermark, "Image"},
    {SettingsTab::Audio, "Audio"},
}};

// Check box captions share one look: white, 13 px "Skia", left-aligned.
QCheckBox* makeCheck(Outlets& outlets, const ControlRow& control) {
    // "&&" shows a literal ampersand rather than marking a keyboard mnemonic.
    auto* check =
        outlets.add(new QCheckBox(qstring(control.label).replace('&', QStringLiteral("&&"))), control.outlet);
    check->setProperty("role", "caption");
    return check;
}

QLineEdit* makeField(Outlets& outlets, std::string_view name, int width) {
    auto* field = outlets.add(new QLineEdit, name);
    field->setFixedWidth(width);
    field->setAlignment(Qt::AlignRight);
    return field;
}

Stepper* makeStepper(Outlets& outlets, const ControlRow& control) {
    auto* stepper = outlets.add(new Stepper, control.outlet);
    stepper->setRange(control.minimum, control.maximum);
    stepper->setIncrement(control.increment);
    return stepper;
}

// A slider with its value beside it, typed or shown in the slider's units.
QWidget* makeSliderRow(Outlets& outlets, const ControlRow& control) {
    auto* slider = outlets.add(new FloatSlider, control.outlet);
    slider->setFloatRange(control.minimum, control.maximum);
    slider->setDefaultValue(control.defaultValue);
    const SliderDisplay& display = control.display;
    auto* field =
        outlets.add(new SliderValueField(slider, display.scale, qstring(display.unit), display.decimals),
                    sliderFieldName(control.outlet));
    field->setFixedWidth(72);
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(slider, 1);
    row->addWidget(field);
    return box;
}

// The font pop-up with, under it, the note saying which family draws in
// place of one that is not installed (hidden while there is nothing to say).
QWidget* makeFontChoice(Outlets& outlets, const ControlRow& control) {
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto* font = outlets.add(new FontPopUp, control.outlet);
    font->setDefaultIndex(static_cast<int>(control.defaultValue));
    auto* note = outlets.add(new QLabel, kFontNoteName);
    note->setWordWrap(true);
    note->setProperty("role", "note");
    note->hide();
    QObject::connect(font, &FontPopUp::substitutionNoteChanged, note, [note](const QString& text) {
        note->setText(text);
        note->setVisible(!text.isEmpty());
    });
    column->addWidget(font);
    column->addWidget(note);
    return box;
}

// One value row: the control, or the text field and stepper of a pair.
QWidget* makeValueWidget(Outlets& outlets, Dialogs& dialogs, const ControlRow& control) {
    switch (control.kind) {
        case ControlKind::Slider:
            return makeSliderRow(outlets, control);
        case ControlKind::Pair: {
            auto* box = new QWidget;
            auto* row = new QHBoxLayout(box);
            row->setContentsMargins(0, 0, 0, 0);
            row->setSpacing(4);
            row->addWidget(makeField(outlets, control.textOutlet, 72));
            row->addWidget(makeStepper(outlets, control));
            row->addStretch();
            return box;
        }
        case ControlKind::Text:
            return outlets.add(new QLineEdit, control.outlet);
        case ControlKind::ColorWell:
            return outlets.add(new ColorWell(dialogs), control.outlet);
        case ControlKind::PopUp: {
            auto* combo = outlets.add(new QComboBox, control.outlet);
            for (std::string_view item : control.items) combo->addItem(qstring(item));
            return combo;
        }
        case ControlKind::FontPopUp:
            return makeFontChoice(outlets, control);
        case ControlKind::Button:
            return outlets.add(new QPushButton(qstring(control.label)), control.outlet);
        case ControlKind::Check:
            return makeCheck(outlets, control);
        case ControlKind::MatrixCell:
            break;
    }
    return nullptr;
}

// The sixteen matrix cells in a 4 x 4 grid, each a display field and a stepper.
QWidget* makeMatrix(Outlets& outlets, const GroupRow& group) {
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    int cell = 0;
    for (const ControlRow& control : controlCatalogue()) {
        if (control.group != group.id || control.kind != ControlKind::MatrixCell) continue;
        auto* pair = new QWidget;
        auto* row = new QHBoxLayout(pair);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(2);
        QLineEdit* field = makeField(outlets, control.textOutlet, 44);
        field->setReadOnly(true);
        field->setFocusPolicy(Qt::NoFocus);
        row->addWidget(field);
        row->addWidget(makeStepper(outlets, control));
        grid->addWidget(pair, cell / 4, cell % 4);
        ++cell;
    }
    return box;
}

QWidget* makeGroupHeader(Outlets& outlets, const GroupRow& group) {
    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    if (group.checkOutlet.empty()) {
        auto* title =
            new QLabel(group.caption.empty() ? QStringLiteral("Adjustments") : qstring(group.caption));
        title->setProperty("role", "caption");
        row->addWidget(title);
    } else {
        row->addWidget(makeCheck(outlets, *findControl(group.checkOutlet)));
    }
    row->addStretch();
    if (!group.resetOutlet.empty()) {
        auto* reset = outlets.add(new QPushButton(QStringLiteral("Reset")), group.resetOutlet);
        reset->setProperty("role", "reset");
        reset->setToolTip(QStringLiteral("Back to the defaults of this group"));
        row->addWidget(reset);
    }
    return header;
}

// Under the sound controls: the loudness measured, or why there is nothing to control.
QLabel* makeSoundNote(Outlets& outlets) {
    auto* note = outlets.add(new QLabel, kSoundNoteName);
    note->setWordWrap(true);
    note->setProperty("role", "note");
    return note;
}

QWidget* makeGroup(Outlets& outlets, Dialogs& dialogs, const GroupRow& group) {
    auto* frame = new QFrame;
    frame->setProperty("role", "group");
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->addWidget(makeGroupHeader(outlets, group));
    // A group with nothing but its check box gets no grid; until it is added
    // to the frame's layout nothing else owns it.
    auto grid = std::make_unique<QGridLayout>();
    grid->setColumnMinimumWidth(0, 84);
    grid->setColumnStretch(1, 1);
    int row = 0;
    for (const ControlRow& control : controlCatalogue()) {
        if (control.group != group.id || control.outlet == group.checkOutlet ||
            control.kind == ControlKind::MatrixCell)
            continue;
        // Check boxes and push buttons carry their own caption.
        if (control.kind != ControlKind::Check && control.kind != ControlKind::Button)
            grid->addWidget(new QLabel(qstring(control.label)), row, 0);
        grid->addWidget(makeValueWidget(outlets, dialogs, control), row, 1);
        ++row;
    }
    if (group.id == GroupId::Transform3D) grid->addWidget(makeMatrix(outlets, group), row++, 0, 1, 2);
    if (row > 0) layout->addLayout(grid.release());
    // The sound controls are switched off as one for a movie without sound.
    if (group.id == GroupId::Audio) outlets.add(frame, kSoundGroupName);
    return frame;
}

QWidget* makeTabPage(Outlets& outlets, Dialogs& dialogs, SettingsTab tab) {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(8);
    for (const GroupRow& group : controlGroups())
        if (group.tab == tab) column->addWidget(makeGroup(outlets, dialogs, group));
    if (tab == SettingsTab::Audio) column->addWidget(makeSoundNote(outlets));
    column->addStretch();
    auto* scroll = new QScrollArea;
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return scroll;
}

// Every control, and the field that goes with it, says what it does.
void addToolTips(Outlets& outlets) {
    for (const ControlRow& control : controlCatalogue()) {
        const QString tip = QString::fromStdString(controlToolTip(control));
        outlets.find(control.outlet)->setToolTip(tip);
        if (!control.textOutlet.empty()) outlets.find(control.textOutlet)->setToolTip(tip);
        if (control.kind == ControlKind::Slider)
            outlets.find(sliderFieldName(control.outlet))->setToolTip(tip);
    }
}

// The panel scrolls under a passing wheel, and its fields leave the undo
// keys to the window (PanelInput.h); the scroll bars keep their own wheel.
void shareInputWithWindow(QTabWidget* tabs) {
    for (QAbstractSlider* slider : tabs->findChildren<QAbstractSlider*>())
        if (!qobject_cast<QScrollBar*>(slider)) takeWheelOnlyWhenFocused(slider);
    for (QAbstractSpinBox* field : tabs->findChildren<QAbstractSpinBox*>()) {
        takeWheelOnlyWhenFocused(field);
        leaveUndoKeysToWindow(field);
    }
    for (QComboBox* popUp : tabs->findChildren<QComboBox*>()) takeWheelOnlyWhenFocused(popUp);
    for (QLineEdit* field : tabs->findChildren<QLineEdit*>()) leaveUndoKeysToWindow(field);
}

}  // namespace

QTabWidget* buildSettingsTabs(Outlets& outlets, Dialogs& dialogs, QWidget* parent) {
    auto* tabs = outlets.add(new QTabWidget(parent), "tabView");
    for (const auto& [tab, title] : kTabTitles)
        tabs->addTab(makeTabPage(outlets, dialogs, tab), qstring(title));
    addToolTips(outlets);
    shareInputWithWindow(tabs);
    return tabs;
}

}  // namespace tintreel
