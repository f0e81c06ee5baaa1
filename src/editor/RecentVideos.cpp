#include "editor/RecentVideos.h"

#include <QFileInfo>
#include <QSettings>

namespace tintreel {
namespace {

const QString kVideosKey = QStringLiteral("recent/videos");
const QString kFolderKey = QStringLiteral("recent/openFolder");

}  // namespace

QStringList RecentVideos::paths() const {
    QStringList existing;
    for (const QString& path : QSettings().value(kVideosKey).toStringList())
        if (QFileInfo(path).isFile()) existing << path;
    return existing;
}

void RecentVideos::add(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList list = QSettings().value(kVideosKey).toStringList();
    list.removeAll(absolute);
    list.prepend(absolute);
    QSettings().setValue(kVideosKey, list.mid(0, kLimit));
    rememberFolderOf(absolute);
}

void RecentVideos::clear() {
    QSettings().remove(kVideosKey);
}

QString RecentVideos::lastFolder() const {
    const QString folder = QSettings().value(kFolderKey).toString();
    return QFileInfo(folder).isDir() ? folder : QString();
}

void RecentVideos::rememberFolderOf(const QString& path) {
    QSettings().setValue(kFolderKey, QFileInfo(path).absolutePath());
}

}  // namespace tintreel
