#include "settings/SessionStore.h"

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/system/AtomicFile.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSessionExtension = ".session", kLockExtension = ".lock";

fs::path lockFileOf(const fs::path& sessionFile) {
    return fs::path(sessionFile).replace_extension(kLockExtension);
}

// A store's name: the process id, unique among running processes, and the
// time in milliseconds, so a later process that gets the same id never
// writes over a session the earlier one left; a count tells apart stores
// opened by one process within one millisecond.
std::string uniqueName() {
    static std::atomic<unsigned> opened{0};
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::to_string(::getpid()) + "-" +
           std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) + "-" +
           std::to_string(opened++);
}

// The session file that `entry` belongs to, when it is a lock file or a
// half-written session; else nothing.
fs::path sessionOwning(const fs::path& entry) {
    if (entry.extension() == kLockExtension) return fs::path(entry).replace_extension(kSessionExtension);
    const std::string name = entry.filename().string();
    const std::size_t end = name.find(std::string(kSessionExtension) + ".");
    if (end == std::string::npos || !isPartialName(entry)) return {};
    return entry.parent_path() / name.substr(0, end + kSessionExtension.size());
}

// The session files in `folder`, newest first.
std::vector<fs::path> sessionFilesNewestFirst(const fs::path& folder) {
    std::vector<std::pair<fs::file_time_type, fs::path>> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() != kSessionExtension) continue;
        std::error_code timeError;
        const fs::file_time_type time = fs::last_write_time(it->path(), timeError);
        if (!timeError) found.emplace_back(time, it->path());
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<fs::path> files;
    for (auto& entry : found) files.push_back(std::move(entry.second));
    return files;
}

std::optional<std::string> readSmallFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(kSessionFileLimit + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

}  // namespace

Result<SessionStore> SessionStore::open(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return Error{folder.string() + ": " + ec.message()};
    const fs::path sessionFile = folder / (uniqueName() + std::string(kSessionExtension));
    std::optional<FileLock> lock = FileLock::tryLock(lockFileOf(sessionFile));
    if (!lock) return Error{lockFileOf(sessionFile).string() + ": cannot be locked"};
    return SessionStore(folder, sessionFile, std::move(*lock));
}

SessionStore::~SessionStore() {
    ownLock_.removeFile();
}

std::optional<SessionState> SessionStore::claimLeftSession() {
    dropClaimed();
    removeLeftovers();
    for (const fs::path& file : sessionFilesNewestFirst(folder_)) {
        if (file == sessionFile_) continue;
        std::optional<FileLock> lock = FileLock::tryLock(lockFileOf(file));
        if (!lock) continue;  // its editor still runs, or another start has claimed it
        if (std::optional<SessionState> session = readLeft(file, *lock)) {
            claimedLock_ = std::move(lock);
            claimedFile_ = file;
            return session;
        }
    }
    return std::nullopt;
}

void SessionStore::removeLeftovers() {
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& entry = it->path();
        const fs::path session = sessionOwning(entry);
        if (session.empty() || session == sessionFile_) continue;
        std::optional<FileLock> owner = FileLock::tryLock(lockFileOf(session));
        if (!owner) continue;  // its editor still runs
        std::error_code removed, exists;
        if (entry != owner->path()) fs::remove(entry, removed);
        if (!fs::exists(session, exists)) owner->removeFile();
    }
}

std::optional<SessionState> SessionStore::readLeft(const fs::path& file, FileLock& lock) {
    const std::optional<std::string> text = readSmallFile(file);
    if (!text) return std::nullopt;  // removed by its owner's normal quit just now
    Result<SessionState> session = parseSessionFile(*text);
    if (session && !session->videoPath.empty()) return std::move(*session);
    logLine("Ignored the left session " + quotedPath(file) + ": " +
            (session ? std::string("it names no video") : session.error()));
    std::error_code ec;
    fs::remove(file, ec);
    lock.removeFile();
    return std::nullopt;
}

void SessionStore::dropClaimed() {
    if (!claimedLock_) return;
    std::error_code ec;
    fs::remove(claimedFile_, ec);
    claimedLock_->removeFile();
    claimedLock_.reset();
    claimedFile_.clear();
}

Status SessionStore::save(const SessionState& session) {
    return writeFileAtomically(sessionFile_, renderSessionFile(session));
}

void SessionStore::discard() {
    std::error_code ec;
    fs::remove(sessionFile_, ec);
}

}  // namespace tintreel
