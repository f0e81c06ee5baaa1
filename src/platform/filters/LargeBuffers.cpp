#include "platform/filters/LargeBuffers.h"

#include <new>

#include <sys/mman.h>

namespace tintreel {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargeFrom = std::size_t{1} << 20;

}  // namespace

void* allocateLarge(std::size_t bytes) {
    if (bytes < kLargeFrom) return ::operator new(bytes);
    void* p = ::operator new (bytes, std::align_val_t{kHugePage});
#if defined(MADV_HUGEPAGE)
    // Only advice: without huge pages the buffer works the same.
    madvise(p, bytes, MADV_HUGEPAGE);
#endif
    return p;
}

void freeLarge(void* p, std::size_t bytes) noexcept {
    if (bytes < kLargeFrom) return ::operator delete(p);
    ::operator delete(p, std::align_val_t{kHugePage});
}

}  // namespace tintreel
