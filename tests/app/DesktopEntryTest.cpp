// The files a desktop reads about us must agree with what the program does:
// every movie it opens is announced in the desktop entry, and the entry, the
// metainfo and the icon name each other the same way.
#include <gtest/gtest.h>

#include <QFile>
#include <QMimeDatabase>
#include <QString>

#include "platform/media/MovieTypes.h"

namespace tintreel {
namespace {

const QString kAppId = QStringLiteral("org.tintreel.Tintreel");
const QString kResources = QStringLiteral(TINTREEL_SOURCE_DIR "/resources/");

QString readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll());
}

// The value of `key` in the desktop entry (a desktop file is not quite an
// INI file: ';' separates list items instead of starting a comment).
QString entryValue(const QString& key) {
    for (const QString& line : readAll(kResources + "desktop/" + kAppId + ".desktop").split('\n'))
        if (line.startsWith(key + '=')) return line.mid(key.size() + 1);
    return {};
}

TEST(DesktopEntryTest, AnnouncesEveryMovieTypeItOpensAndNamesItsIconAndProgram) {
    const QStringList mimeTypes = entryValue(QStringLiteral("MimeType")).split(';', Qt::SkipEmptyParts);
    const QMimeDatabase mimes;
    for (std::string_view extension : kMovieExtensions) {
        const QString name = QStringLiteral("clip.") + QString::fromUtf8(extension.data(), extension.size());
        // Some names are shared (.ts is also a translation source); a file
        // manager settles those by content, so any video candidate counts.
        bool announced = false;
        for (const QMimeType& type : mimes.mimeTypesForFileName(name)) {
            if (!type.name().startsWith(QStringLiteral("video/"))) continue;
            announced = announced || mimeTypes.contains(type.name());
            for (const QString& alias : type.aliases()) announced = announced || mimeTypes.contains(alias);
        }
        EXPECT_TRUE(announced) << name.toStdString();
    }
    EXPECT_EQ(entryValue(QStringLiteral("Exec")), QStringLiteral("tintreel %f"));
    EXPECT_EQ(entryValue(QStringLiteral("Icon")), kAppId);
    EXPECT_TRUE(QFile::exists(kResources + "icons/" + kAppId + ".svg"));
    EXPECT_TRUE(readAll(kResources + "desktop/" + kAppId + ".metainfo.xml")
                    .contains("<launchable type=\"desktop-id\">" + kAppId + ".desktop</launchable>"));
}

}  // namespace
}  // namespace tintreel
