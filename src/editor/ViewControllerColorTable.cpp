// ViewController: the colour table step's file (chosen, cleared, checked
// when a profile names it) and the look exported as a table.
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>

#include "editor/ColorTableChoice.h"
#include "editor/ControlBinding.h"
#include "editor/ViewController.h"
#include "platform/filters/ColorTable.h"
#include "platform/system/AtomicFile.h"
#include "platform/ui/Dialogs.h"
#include "render/LookTable.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {

namespace {

QStringList tableTypes() {
    QStringList types;
    for (std::string_view extension : kColorTableExtensions)
        types << QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size()));
    return types;
}

}  // namespace

std::optional<std::string> colorTableProblem(const EffectSettings& settings) {
    if (settings.checkColorTable != 1 || settings.textFieldColorTable.empty()) return std::nullopt;
    const auto table = ColorTable::load(settings.textFieldColorTable);
    if (table) return std::nullopt;
    return table.error();
}

void ViewController::showColorTable(const QString& path) {
    auto* field = outlets_.get<QLineEdit>("textFieldColorTable");
    field->setText(path);
    field->setToolTip(path);
    refreshIf(groupCheckState(GroupId::ColorTable));
}

bool ViewController::takeColorTable(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    const auto table = ColorTable::load(full.toStdString());
    // A table that cannot be used leaves the look as it was.
    if (!table) {
        dialogs_.alert(QString::fromStdString(table.error()));
        return false;
    }
    showColorTable(full);
    return true;
}

void ViewController::OnSelectColorTable() {
    const std::optional<QString> path = dialogs_.openFile(tr("Choose Color Table"), tableTypes());
    if (path && !path->isEmpty()) takeColorTable(*path);
}

void ViewController::onColorTableDropped(const QString& path) {
    if (!takeColorTable(path)) return;
    // A table dropped on the picture is meant to show at once.
    // Clicked as a user would, so the change is recorded like one.
    if (auto* box = outlets_.get<QCheckBox>("checkColorTable"); !box->isChecked()) box->click();
}

void ViewController::OnClearColorTable() {
    if (outlets_.get<QLineEdit>("textFieldColorTable")->text().isEmpty()) return;
    showColorTable(QString());
}

void ViewController::OnExportColorTable() {
    const EffectSettings settings = currentSettings();
    if (std::optional<std::string> problem = colorTableProblem(settings))
        return dialogs_.alert(QString::fromStdString(*problem));
    std::optional<QString> path =
        dialogs_.saveFile(tr("Export Look as Color Table"), QStringLiteral("Look.cube"), {"cube"});
    if (!path || path->isEmpty()) return;
    if (!path->endsWith(QStringLiteral(".cube"))) *path += QStringLiteral(".cube");
    const std::string name = QFileInfo(*path).completeBaseName().toStdString();
    const Status written =
        writeFileAtomically(path->toStdString(), lookTableCube(settings, kLookTableDefaultSize, name));
    if (!written)
        return dialogs_.alert(QStringLiteral("The color table could not be saved: %1.")
                                  .arg(QString::fromStdString(written.error())));
    std::string leftOut;
    for (std::string_view step : stepsLeftOutOfTable(settings))
        leftOut += (leftOut.empty() ? "" : ", ") + std::string(step);
    if (!leftOut.empty())
        dialogs_.alert(QStringLiteral("The table holds the steps that change each pixel alone; left out: %1.")
                           .arg(QString::fromStdString(leftOut)),
                       AlertStyle::Informational);
}

}  // namespace tintreel
