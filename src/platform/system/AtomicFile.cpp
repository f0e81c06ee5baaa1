#include "platform/system/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <regex>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/system/ProcessTag.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

Error systemError(int code) {
    return Error{std::error_code(code, std::system_category()).message()};
}

// An open file descriptor, closed when the holder goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
    ~FileDescriptor() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return descriptor_; }
    bool valid() const { return descriptor_ >= 0; }
    // Closes now: some file systems report a failed write only here. 0 or the errno.
    int close() { return ::close(std::exchange(descriptor_, -1)) == 0 ? 0 : errno; }

private:
    int descriptor_;
};

}  // namespace

fs::path partialNameBeside(const fs::path& destination, std::string_view extension) {
    static std::atomic<unsigned> counter{0};
    fs::path name = destination;
    name += "." + processTag() + "-" + std::to_string(counter++) + ".partial";
    if (!extension.empty()) name += "." + std::string(extension);
    return name;
}

bool isPartialName(const fs::path& file) {
    // Names of earlier versions carried no host: "NAME.PID-N.partial".
    static const std::regex partial(R"(.+\.([A-Za-z0-9_-]+-)?[0-9]+-[0-9]+\.partial(\.[^.]+)?)");
    return std::regex_match(file.filename().string(), partial);
}

int removeAbandonedPartials(const fs::path& destination) {
    static const std::regex partialOf(R"((.+)-[0-9]+\.partial(\.[^.]+)?)");  // HOST-PID-N.partial.EXT
    const std::string prefix = destination.filename().string() + ".";
    const fs::path folder = destination.parent_path().empty() ? fs::path(".") : destination.parent_path();
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::smatch match;
        const std::string rest = name.rfind(prefix, 0) == 0 ? name.substr(prefix.size()) : std::string();
        std::error_code statusError;
        if (!std::regex_match(rest, match, partialOf) || !isAbandonedTag(match[1].str()) ||
            !fs::is_regular_file(it->symlink_status(statusError)))
            continue;
        if (::unlink(it->path().c_str()) == 0) ++removed;
    }
    return removed;
}

namespace {

// Creates a file beside `destination` under a name nobody else uses and
// sets `name` to it; a name left over from an earlier process is skipped.
int createBeside(const fs::path& destination, fs::path& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = partialNameBeside(destination);
        const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST) return descriptor;
    }
    return -1;
}

// A file being replaced keeps its permissions. 0 or the errno.
int keepPermissions(const fs::path& destination, int descriptor) {
    struct stat existing {};
    if (::stat(destination.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) return 0;
    return ::fchmod(descriptor, existing.st_mode & 07777) == 0 ? 0 : errno;
}

// Writes all of `content` to `output`. 0 or the errno.
int writeContent(int output, std::string_view content) {
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t put = ::write(output, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return errno;
        done += static_cast<std::size_t>(put);
    }
    return 0;
}

// Writes everything `input` still holds to `output`. 0 or the errno.
int copyContent(int input, int output) {
    std::vector<char> buffer(1 << 20);
    while (true) {
        const ssize_t got = ::read(input, buffer.data(), buffer.size());
        if (got == 0) return 0;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (const int error = writeContent(output, {buffer.data(), static_cast<std::size_t>(got)}))
            return error;
    }
}

// The rename itself reaches the disk only with its folder.
void syncFolderOf(const fs::path& file) {
    const FileDescriptor folder(::open(file.parent_path().empty() ? "." : file.parent_path().c_str(),
                                       O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
}

// Renames `from` to `to` unless a file is at `to` (EEXIST). 0 or the errno.
int renameWithoutReplacing(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without that flag: a new link never replaces either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) return errno;
    // Nor hard links (FAT): claim the name, then replace only our own claim.
    const int claim = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (claim < 0) return errno;
    ::close(claim);
    if (::rename(from.c_str(), to.c_str()) == 0) return 0;
    const int error = errno;
    ::unlink(to.c_str());
    return error;
}

int place(const fs::path& from, const fs::path& to, IfTaken ifTaken) {
    if (ifTaken == IfTaken::Keep) return renameWithoutReplacing(from, to);
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Fills a new file beside `destination` with `fill` (0 or an errno) and renames it into place.
template <class Fill>
Status replaceWith(const fs::path& destination, IfTaken ifTaken, Fill&& fill) {
    fs::path temporary;
    FileDescriptor output(createBeside(destination, temporary));
    if (!output.valid()) return systemError(errno);
    int error = keepPermissions(destination, output.get());
    if (!error) error = fill(output.get());
    if (!error && ::fsync(output.get()) != 0) error = errno;
    if (!error) error = output.close();
    if (!error) error = place(temporary, destination, ifTaken);
    if (!error) {
        syncFolderOf(destination);
        return {};
    }
    ::unlink(temporary.c_str());
    return systemError(error);
}

}  // namespace

Status copyFileAtomically(const fs::path& from, const fs::path& to, IfTaken ifTaken) {
    const FileDescriptor input(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!input.valid()) return systemError(errno);
    return replaceWith(to, ifTaken, [&](int output) { return copyContent(input.get(), output); });
}

Status writeFileAtomically(const fs::path& to, std::string_view content) {
    return replaceWith(to, IfTaken::Replace, [&](int output) { return writeContent(output, content); });
}

Status moveFileAtomically(const fs::path& from, const fs::path& to, IfTaken ifTaken) {
    const int error = place(from, to, ifTaken);
    if (error == 0) return {};
    if (error != EXDEV) return systemError(error);
    Status copied = copyFileAtomically(from, to, ifTaken);
    if (copied) ::unlink(from.c_str());
    return copied;
}

bool wasTaken(const Status& status) {
    return !status && status.error() == systemError(EEXIST).message;
}

}  // namespace tintreel
