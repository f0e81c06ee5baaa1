#include "platform/system/TemporaryDirectory.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <regex>
#include <string>
#include <system_error>
#include <vector>

#include "platform/system/Log.h"
#include "platform/system/ProcessTag.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

fs::path parentDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        std::error_code ec;
        if (fs::is_directory(runtime, ec) && ::access(runtime, W_OK | X_OK) == 0) return runtime;
    }
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    return ec ? fs::path("/tmp") : temp;
}

bool ownedByUs(const fs::path& directory) {
    struct stat info {};
    return ::lstat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

}  // namespace

int removeAbandonedTemporaryDirectories(const fs::path& parent) {
    static const std::regex ours(R"(tintreel-(.+)-[A-Za-z0-9]{6})");  // HOST-PID, then mkdtemp's six
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::smatch match;
        if (!std::regex_match(name, match, ours) || !isAbandonedTag(match[1].str()) || !ownedByUs(it->path()))
            continue;
        std::error_code removeError;
        fs::remove_all(it->path(), removeError);
        if (!removeError) ++removed;
    }
    return removed;
}

std::optional<TemporaryDirectory> TemporaryDirectory::create() {
    return createIn(parentDirectory());
}

std::optional<TemporaryDirectory> TemporaryDirectory::createIn(const fs::path& parent) {
    static std::once_flag cleaned;
    std::call_once(cleaned, [&parent] { removeAbandonedTemporaryDirectories(parent); });
    // mkdtemp picks a name nobody else has and creates it with mode 0700.
    std::string pattern = (parent / ("tintreel-" + processTag() + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) return std::nullopt;
    return TemporaryDirectory(fs::path(pattern));
}

TemporaryDirectory::TemporaryDirectory(TemporaryDirectory&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
}

TemporaryDirectory& TemporaryDirectory::operator=(TemporaryDirectory&& other) noexcept {
    if (this != &other) {
        removeAll();
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

TemporaryDirectory::~TemporaryDirectory() {
    removeAll();
}

void TemporaryDirectory::removeAll() noexcept {
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
    path_.clear();
}

bool restoreTemporaryDirectory(const fs::path& directory) {
    struct stat info {};
    if (::lstat(directory.c_str(), &info) == 0) return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
    return errno == ENOENT && ::mkdir(directory.c_str(), 0700) == 0;
}

namespace {

// The direct entries of `directory`, or the error that stopped the listing.
std::vector<fs::path> listEntries(const fs::path& directory, std::error_code& ec) {
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    return entries;
}

}  // namespace

void DeleteTemporaryFiles(const fs::path& directory) {
    std::error_code ec;
    const std::vector<fs::path> entries = listEntries(directory, ec);
    if (ec) {
        logLine("Error: " + directory.string() + ": " + ec.message());
        return;
    }
    for (const fs::path& entry : entries) {
        std::error_code removeError;
        // remove_all never follows a symbolic link: a link is removed, not its target.
        fs::remove_all(entry, removeError);
        if (removeError) logLine("Could not delete video: " + entry.string() + ": " + removeError.message());
    }
}

}  // namespace tintreel
