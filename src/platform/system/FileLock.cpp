#include "platform/system/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tintreel {
namespace {

// Whether `path` still names the file open as `descriptor`.
bool namesOpenFile(const std::filesystem::path& path, int descriptor) {
    struct stat named {};
    struct stat open {};
    return ::stat(path.c_str(), &named) == 0 && ::fstat(descriptor, &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

}  // namespace

std::optional<FileLock> FileLock::tryLock(const std::filesystem::path& path) {
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0) return std::nullopt;
    FileLock lock(path, descriptor);
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0 || !namesOpenFile(path, descriptor)) return std::nullopt;
    return lock;
}

FileLock::FileLock(FileLock&& other) noexcept
    : path_(std::move(other.path_)), descriptor_(std::exchange(other.descriptor_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        close();
        path_ = std::move(other.path_);
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

FileLock::~FileLock() {
    close();
}

void FileLock::removeFile() {
    if (descriptor_ >= 0) ::unlink(path_.c_str());
}

void FileLock::close() noexcept {
    if (descriptor_ >= 0) ::close(std::exchange(descriptor_, -1));
}

}  // namespace tintreel
