#include "platform/filters/Image.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "platform/filters/LargeBuffers.h"

namespace tintreel {

namespace {

// Freed frame buffers waiting for the next frame of the same size. Small
// buffers go straight to the heap; the pool only pays off for whole frames.
// Constant-initialised with a trivial layout, so it is usable from any static
// initialiser or destructor; buffers still pooled at exit go with the process.
class FramePool {
public:
    static constexpr std::size_t kSmallestPooled = std::size_t{1} << 20;

    // The most recently freed buffer of that size, whose pages are likeliest in cache.
    std::uint8_t* take(std::size_t n) {
        std::lock_guard lock(mutex_);
        for (std::size_t i = count_; i-- > 0;) {
            if (free_[i].size != n) continue;
            std::uint8_t* p = free_[i].data;
            bytes_ -= n;
            std::copy(free_.begin() + i + 1, free_.begin() + count_, free_.begin() + i);
            --count_;
            return p;
        }
        return nullptr;
    }

    // Keeps the buffer, dropping the oldest ones beyond the bounds.
    void give(std::uint8_t* p, std::size_t n) {
        std::lock_guard lock(mutex_);
        if (count_ == kMaxBuffers) dropOldest();
        free_[count_++] = {p, n};
        bytes_ += n;
        while (bytes_ > kMaxBytes) dropOldest();
    }

private:
    // Enough for a chain's input, its current picture and the step being
    // made, at up to 4K, without holding much beyond what is in use.
    static constexpr std::size_t kMaxBuffers = 4;
    static constexpr std::size_t kMaxBytes = std::size_t{160} << 20;

    struct Block {
        std::uint8_t* data;
        std::size_t size;
    };

    void dropOldest() {
        freeLarge(free_[0].data, free_[0].size);
        bytes_ -= free_[0].size;
        std::copy(free_.begin() + 1, free_.begin() + count_, free_.begin());
        --count_;
    }

    std::mutex mutex_;
    std::array<Block, kMaxBuffers> free_{};
    std::size_t count_ = 0;
    std::size_t bytes_ = 0;
};

constinit FramePool framePool;

}  // namespace

std::uint8_t* PixelAllocator::allocate(std::size_t n) {
    if (n >= FramePool::kSmallestPooled)
        if (std::uint8_t* p = framePool.take(n)) return p;
    return static_cast<std::uint8_t*>(allocateLarge(n));
}

void PixelAllocator::deallocate(std::uint8_t* p, std::size_t n) noexcept {
    if (n >= FramePool::kSmallestPooled) return framePool.give(p, n);
    freeLarge(p, n);
}

Image::Image(int width, int height) : Image(forOverwrite(width, height)) {
    std::fill(pixels_.begin(), pixels_.end(), 0);
}

Image::Image(const Image& other) : Image(forOverwrite(other.width_, other.height_)) {
    std::copy(other.pixels_.begin(), other.pixels_.end(), pixels_.begin());
}

Image& Image::operator=(const Image& other) {
    if (this == &other) return *this;
    if (other.byteCount() != byteCount()) return *this = Image(other);
    width_ = other.width_;
    height_ = other.height_;
    std::copy(other.pixels_.begin(), other.pixels_.end(), pixels_.begin());
    return *this;
}

Image Image::forOverwrite(int width, int height) {
    Image image;
    if (width <= 0 || height <= 0) return image;
    image.width_ = width;
    image.height_ = height;
    image.pixels_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kChannels);
    return image;
}

}  // namespace tintreel
