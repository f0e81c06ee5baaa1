#pragma once
// A full disk, simulated: lowers this process's file-size limit for the
// object's lifetime with SIGXFSZ ignored, so a write past the limit fails
// with EFBIG ("File too large") as one on a full disk fails with ENOSPC.
// Child processes inherit the limit: make fixtures before creating one.

#include <sys/resource.h>
#include <csignal>

namespace tintreel::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : previousHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit small = previous_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int);
};

}  // namespace tintreel::test
