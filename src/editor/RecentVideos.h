#pragma once
// RecentVideos: the videos opened lately and the folder the open panel last
// showed, remembered between runs in the user's settings (QSettings of the
// application's organisation and name). The list is newest first, holds each
// file once and at most kLimit of them.
//
// Holds no state of its own: every call reads or writes the settings, so
// copies agree. GUI thread only.

#include <QString>
#include <QStringList>

namespace tintreel {

class RecentVideos {
public:
    static constexpr int kLimit = 10;

    // Newest first; files that no longer exist are left out.
    QStringList paths() const;
    // Puts `path` first (moving it if it was listed) and remembers its folder.
    void add(const QString& path);
    void clear();

    // The folder the open panel should start in; empty when none is known.
    QString lastFolder() const;
    void rememberFolderOf(const QString& path);
};

}  // namespace tintreel
