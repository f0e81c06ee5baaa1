#include "app/AboutBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>

#include "platform/media/LibraryVersions.h"

namespace tintreel {

QString aboutText() {
    QStringList libraries{QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion()))};
    for (const LibraryVersion& library : engineLibraryVersions())
        libraries << QString::fromStdString(library.name + " " + library.version).toHtmlEscaped();
    return QStringLiteral(
               "<h3>Tintreel %1</h3>"
               "<p>Colour adjustments, effects and watermarks for a video.</p>"
               "<p>Released under the MIT licence.</p>"
               "<p>Runs on %2.</p>")
        .arg(QStringLiteral(TINTREEL_VERSION), libraries.join(QStringLiteral(", ")));
}

void showAboutBox(QWidget* parent) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QObject::tr("About Tintreel"), aboutText(),
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setTextFormat(Qt::RichText);
    box->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace tintreel
