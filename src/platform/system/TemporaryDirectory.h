#pragma once
// TemporaryDirectory: a directory created for this process alone (unique
// name, mode 0700) where renders leave their movies; removed with everything
// in it when the object is destroyed.
//
// It lives under $XDG_RUNTIME_DIR when that is set and usable, else under the
// system temporary directory, and is never either of those directories
// itself: emptying it may only ever touch our own files, so two copies of the
// editor running side by side never delete each other's work. Its name,
// "tintreel-HOST-PID-XXXXXX", carries the owner's tag (ProcessTag.h): the
// first directory a process creates removes those its earlier, killed runs
// on this machine left behind, whose process is gone.
//
// Ownership: the object owns the directory. Threads: path() may be read from
// any thread; DeleteTemporaryFiles may run on any thread.

#include <filesystem>
#include <optional>

namespace tintreel {

class TemporaryDirectory {
public:
    // Creates a fresh private directory; nothing when none could be made.
    static std::optional<TemporaryDirectory> create();
    // The same in `parent` (which must exist), wherever that is.
    static std::optional<TemporaryDirectory> createIn(const std::filesystem::path& parent);

    TemporaryDirectory(TemporaryDirectory&& other) noexcept;
    TemporaryDirectory& operator=(TemporaryDirectory&& other) noexcept;
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    ~TemporaryDirectory();

    const std::filesystem::path& path() const { return path_; }

private:
    explicit TemporaryDirectory(std::filesystem::path path) : path_(std::move(path)) {}
    void removeAll() noexcept;

    std::filesystem::path path_;
};

// Removes the directories under `parent` named as create() names them whose
// owner process of this machine is gone and that belong to this user (with
// what they hold); how many. create() does this once per process under its
// own parent.
int removeAbandonedTemporaryDirectories(const std::filesystem::path& parent);

// Makes `directory` again (mode 0700) when something removed it while we ran;
// true when it is there and ours. A path taken over by someone else (another
// owner, or not a directory) is never used.
bool restoreTemporaryDirectory(const std::filesystem::path& directory);

// Removes every direct entry of `directory` (directories whole, hidden
// entries included), in listing order. A listing failure prints
// "Error: " + description and deletes nothing; each entry that cannot be
// removed prints "Could not delete video: " + description and the rest go on.
// Lines go to the log.
void DeleteTemporaryFiles(const std::filesystem::path& directory);

}  // namespace tintreel
