#pragma once
// FileLock: an exclusive advisory lock (flock) on a file, held while the
// object lives. The kernel lets go of it however the process ends, a crash
// or SIGKILL included, so a lock that can be taken tells that whoever held
// it is gone.
//
// Ownership: the object owns the open file that carries the lock; moving it
// moves the lock. Threads: one object on one thread at a time.

#include <filesystem>
#include <optional>

namespace tintreel {

class FileLock {
public:
    // Takes the lock on `path`, creating the file (mode 0600) when it is
    // missing; nothing when another holder has it or the file cannot be
    // opened. A lock file removed by its holder between our open and our
    // lock is not taken either.
    static std::optional<FileLock> tryLock(const std::filesystem::path& path);

    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    const std::filesystem::path& path() const { return path_; }
    // Removes the lock file while still holding the lock, so nobody who
    // opens the name afterwards takes over a lock on the old file.
    void removeFile();

private:
    FileLock(std::filesystem::path path, int descriptor) : path_(std::move(path)), descriptor_(descriptor) {}
    void close() noexcept;

    std::filesystem::path path_;
    int descriptor_ = -1;
};

}  // namespace tintreel
