#pragma once
// Memory for whole frames and frame-sized working buffers.
//
// Kernels that walk a picture down its columns touch a new 4 KiB page on
// every row: over the input, output and working rows of a full-height band
// that is more pages than the processor's address translation cache holds,
// and every access then waits for a page-table walk. Buffers of a megabyte
// or more are therefore aligned to 2 MiB and offered to the system for huge
// pages. It may decline (they are then ordinary pages, only slower to walk
// down). Smaller buffers come from the ordinary heap.

#include <cstddef>

namespace tintreel {

void* allocateLarge(std::size_t bytes);
// `bytes` must be the size the buffer was allocated with.
void freeLarge(void* p, std::size_t bytes) noexcept;

template <typename T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(allocateLarge(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { freeLarge(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const LargeAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace tintreel
