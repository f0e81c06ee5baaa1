#pragma once
// SessionKeeper: keeps the editor's session file current (see SessionFile.h
// and SessionStore.h). The controller tells it that something changed; it
// reads the whole session from its source a moment later, at most about
// once a second, and writes it only when it differs from the last write. A
// session without a video is not kept. A normal quit ends it: the file goes
// and nothing is offered at the next start.
//
// Until start() it keeps nothing, so a controller made by a test or a tool
// writes no file of the user's.
//
// Ownership: owned by the controller, whose state the source reads; the
// source must stay callable while the keeper lives. GUI thread only.

#include <QObject>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "settings/SessionFile.h"
#include "settings/SessionStore.h"

namespace tintreel {

class SessionKeeper : public QObject {
public:
    using Source = std::function<SessionState()>;
    explicit SessionKeeper(Source source, QObject* parent = nullptr);
    // A change still waiting is written, unless the session was ended.
    ~SessionKeeper() override;

    // Keeps the session in `folder` from now on; false, with one log line,
    // when the folder cannot be used (the editor then runs without).
    bool start(const std::filesystem::path& folder);
    bool isKeeping() const { return store_.has_value(); }
    // The newest session left by an editor that did not quit normally,
    // claimed until dropClaimed(); nothing when there is none.
    std::optional<SessionState> claimLeftSession();
    void dropClaimed();

    // Something the session holds changed.
    void changed();
    // Writes a waiting change now.
    void flush();
    // A normal quit: the session file goes and nothing more is written.
    void end();

private:
    void write();

    Source source_;
    std::optional<SessionStore> store_;
    SaveSchedule schedule_;
    QTimer timer_;
    std::optional<SessionState> lastWritten_;  // the session as last written; none when there is none
    bool failing_ = false;     // the last write failed (logged once until one succeeds)
};

}  // namespace tintreel
