// ViewController: undo and redo over the settings history, and profiles:
// the current settings record saved to a file of the user's and read back.
#include <QFile>
#include <QLineEdit>
#include <QSaveFile>

#include "editor/ColorTableChoice.h"
#include "editor/ControlBinding.h"
#include "editor/ViewController.h"
#include "platform/ui/Dialogs.h"
#include "settings/SettingsRecord.h"

namespace tintreel {
namespace {

const QStringList kProfileTypes{"tintreel"};

}  // namespace

// Puts a record back into the controls and the picture it names, and shows
// it; the refresh that shows it records nothing (the history already holds it).
void ViewController::restoreRecord(const std::string& record) {
    const RecordParseResult parsed = parseSettingsRecord(record, currentSettings());
    writeSettings(outlets_, parsed.settings);
    restoreLogo(QString::fromStdString(parsed.extras.logoPath));
    Q_EMIT commandsChanged();
    UpdateImageEffect();
}

// The picture a record names: the one shown stays, another is read again. One
// that can no longer be read is said so and left out, so the picture's field
// never names a picture that is not drawn.
void ViewController::restoreLogo(const QString& path) {
    if (path == logoPath_) return;
    if (!path.isEmpty() && loadLogo(path)) return;
    clearLogo();
    controls_.pictureName->clear();
    if (!path.isEmpty())
        dialogs_.alert(QStringLiteral("The watermark picture %1 could not be loaded.").arg(path));
}

void ViewController::OnUndo() {
    if (const std::optional<std::string> record = history_.undo()) restoreRecord(*record);
}

void ViewController::OnRedo() {
    if (const std::optional<std::string> record = history_.redo()) restoreRecord(*record);
}

bool ViewController::writeProfile(const QString& path) {
    // Written beside the destination and renamed into place: a failed save
    // never leaves half a profile where a good one was.
    QSaveFile file(path);
    const std::string record = currentRecord();
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(record.data(), static_cast<qint64>(record.size())) < 0 || !file.commit()) {
        dialogs_.alert(QStringLiteral("The profile could not be saved."));
        return false;
    }
    profilePath_ = path;
    return true;
}

void ViewController::OnSaveProfile() {
    if (profilePath_.isEmpty()) return OnSaveProfileAs();
    writeProfile(profilePath_);
}

void ViewController::OnSaveProfileAs() {
    std::optional<QString> path = dialogs_.saveFile(tr("Save Profile"), QStringLiteral("Untitled.tintreel"), kProfileTypes);
    if (!path || path->isEmpty()) return;
    if (!path->endsWith(QStringLiteral(".tintreel"))) *path += QStringLiteral(".tintreel");
    writeProfile(*path);
}

void ViewController::OnLoadProfile() {
    const std::optional<QString> path = dialogs_.openFile(tr("Load Profile"), kProfileTypes);
    if (!path || path->isEmpty()) return;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) return dialogs_.alert(QStringLiteral("The profile could not be read."));
    // A settings record is a few kilobytes; anything much larger is not one.
    const QByteArray bytes = file.read(1 << 20);
    RecordParseResult parsed = parseSettingsRecord(bytes.toStdString(), currentSettings());
    writeSettings(outlets_, parsed.settings);
    profilePath_ = *path;
    // The profile's picture replaces the current one; one that cannot be
    // read keeps the current picture, like any other unusable value.
    const QString picture = QString::fromStdString(parsed.extras.logoPath);
    if (!picture.isEmpty() && !loadLogo(picture))
        parsed.problems.push_back("The watermark picture " + parsed.extras.logoPath + " could not be loaded.");
    if (std::optional<std::string> table = colorTableProblem(parsed.settings))
        parsed.problems.push_back(*table);
    if (!parsed.problems.empty()) {
        QStringList lines{QStringLiteral("Some settings of this profile could not be used and keep their current "
                                         "values:")};
        for (const std::string& problem : parsed.problems) lines << QString::fromStdString(problem);
        dialogs_.alert(lines.join('\n'));
    }
    UpdateImageEffect();
}

}  // namespace tintreel
