#pragma once
// SessionStore: the folder where every running editor keeps its session
// file, and where the next start finds the sessions of editors that ended
// without a normal quit (a crash, a kill, a signal).
//
// Two editors open at once never share a file: each has its own name (its
// process id and start time) and holds a lock file of that name for as long
// as it runs. A session whose lock can be taken is left over: its editor is
// gone, since the system drops the lock with the process however it ends.
// Taking that lock is also how one start claims a left session, so two
// editors starting together never offer the same one. A start offers the
// newest left session; older ones wait for later starts.
// A session names its video: one without (nothing was loaded) is not kept.
//
// Ownership: the store owns this process's lock and, once claimed, the lock
// of the left session being offered. Destroying the store lets go of both
// and keeps this process's session file (a quit by signal leaves it to be
// offered); discard() removes it on a normal quit. Threads: one thread.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/system/FileLock.h"
#include "platform/system/Result.h"
#include "settings/SessionFile.h"

namespace tintreel {

class SessionStore {
public:
    // The store in `folder` (made when missing) with this process's lock
    // taken, or why it cannot be used.
    static Result<SessionStore> open(const std::filesystem::path& folder);
    SessionStore(SessionStore&&) noexcept = default;
    SessionStore& operator=(SessionStore&&) noexcept = default;
    ~SessionStore();

    // The newest session left over by an editor that no longer runs, claimed
    // until dropClaimed(); nothing when there is none. A left file that
    // cannot be read as a session is removed with one log line.
    std::optional<SessionState> claimLeftSession();
    // Removes the claimed session's files, whether it was restored or declined.
    void dropClaimed();

    // Replaces this process's session file whole.
    Status save(const SessionState& session);
    // Removes this process's session file: nothing is left to offer.
    void discard();

    const std::filesystem::path& sessionFile() const { return sessionFile_; }

private:
    SessionStore(std::filesystem::path folder, std::filesystem::path sessionFile, FileLock ownLock)
        : folder_(std::move(folder)), sessionFile_(std::move(sessionFile)), ownLock_(std::move(ownLock)) {}
    // Removes what editors that are gone left beside their sessions: lock
    // files without a session, and half-written sessions of a killed write.
    void removeLeftovers();
    // Reads the left session `file` (its lock held as `lock`); a damaged one is removed.
    std::optional<SessionState> readLeft(const std::filesystem::path& file, FileLock& lock);

    std::filesystem::path folder_;
    std::filesystem::path sessionFile_;
    FileLock ownLock_;
    std::optional<FileLock> claimedLock_;
    std::filesystem::path claimedFile_;
};

}  // namespace tintreel
