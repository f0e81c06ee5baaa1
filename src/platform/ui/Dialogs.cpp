#include "platform/ui/Dialogs.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "platform/filters/Picture.h"
#include "platform/media/MovieTypes.h"
#include "platform/ui/HelpWindow.h"
#include "platform/ui/RenderSettingsDialog.h"

namespace tintreel {
namespace {

QMessageBox::Icon iconFor(AlertStyle style) {
    return style == AlertStyle::Warning ? QMessageBox::Warning : QMessageBox::Information;
}

}  // namespace

QString fileTypeFilter(const QStringList& extensions) {
    const QStringList pictureExtensions = extensionList(kPictureExtensions);
    QStringList patterns;
    bool movies = !extensions.isEmpty(), pictures = !extensions.isEmpty();
    for (const QString& extension : extensions) {
        patterns << "*." + extension;
        movies = movies && hasMovieExtension(("file." + extension).toStdString());
        pictures = pictures && pictureExtensions.contains(extension.toLower());
    }
    const QString kind = movies                                  ? QStringLiteral("Movies")
                         : pictures                              ? QStringLiteral("Pictures")
                         : extensions == QStringList{"tintreel"} ? QStringLiteral("Profiles")
                                                                 : QStringLiteral("Files");
    return QStringLiteral("%1 (%2);;All files (*)").arg(kind, patterns.join(' '));
}

// The help window may have no parent to take it along.
QtDialogs::~QtDialogs() {
    delete help_;
}

void QtDialogs::alert(const QString& text, AlertStyle style, const QString& detail) {
    QMessageBox box(iconFor(style), QStringLiteral("Tintreel"), QString(), QMessageBox::Ok, parent_);
    box.setInformativeText(detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail);
    box.exec();
}

bool QtDialogs::question(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tintreel"), QString(), QMessageBox::NoButton,
                    parent_);
    box.setInformativeText(text);
    QPushButton* yes = box.addButton(QStringLiteral("Yes"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == static_cast<QAbstractButton*>(yes);
}

// A window of its own, titled for what it asks, with buttons that say what they do.
bool QtDialogs::offerSessionRestore(const QString& videoName) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Restore Session"),
                    QStringLiteral("Tintreel did not quit normally last time."), QMessageBox::NoButton,
                    parent_);
    box.setInformativeText(QStringLiteral("Restore the session with \"%1\": the video, its position, every "
                                          "setting and the watermark picture?")
                               .arg(videoName));
    QPushButton* restore = box.addButton(QStringLiteral("Restore"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(restore);
    box.exec();
    return box.clickedButton() == static_cast<QAbstractButton*>(restore);
}

std::optional<QString> QtDialogs::openFile(const QString& title, const QStringList& extensions,
                                           const QString& folder) {
    const QString path = QFileDialog::getOpenFileName(parent_, title, folder, fileTypeFilter(extensions));
    if (path.isEmpty()) return std::nullopt;
    return path;
}

QStringList QtDialogs::openFiles(const QString& title, const QStringList& extensions, const QString& folder) {
    return QFileDialog::getOpenFileNames(parent_, title, folder, fileTypeFilter(extensions));
}

std::optional<QString> QtDialogs::chooseFolder(const QString& title, const QString& folder) {
    const QString path = QFileDialog::getExistingDirectory(parent_, title, folder);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> QtDialogs::saveFile(const QString& title, const QString& suggestedName,
                                           const QStringList& extensions) {
    QFileDialog dialog(parent_, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(fileTypeFilter(extensions));
    dialog.setDefaultSuffix(extensions.value(0));
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<RenderSettings> QtDialogs::editRenderSettings(const RenderSettings& current) {
    RenderSettingsDialog dialog(current, parent_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.settings();
}

std::optional<QColor> QtDialogs::chooseColor(const QColor& initial) {
    const QColor color = QColorDialog::getColor(initial, parent_, QStringLiteral("Text Color"));
    if (!color.isValid()) return std::nullopt;
    return color;
}

void QtDialogs::openUrl(const QUrl& url) {
    if (!url.isLocalFile()) {
        QDesktopServices::openUrl(url);
        return;
    }
    if (!QFileInfo::exists(url.toLocalFile()))
        return alert(QStringLiteral("The help page could not be found."), AlertStyle::Warning,
                     QDir::toNativeSeparators(url.toLocalFile()));
    if (!help_) help_ = new HelpWindow(parent_);
    help_->showPage(url);
}

}  // namespace tintreel
