#pragma once
// Image: a straight-alpha RGBA8 picture held by value.
//
// Ownership: an Image owns its pixels; copying copies them, moving is cheap.
// Threads: an Image is a plain value; distinct Images may be used on distinct
// threads freely, one Image must not be written while another thread reads it.
//
// Rows are tightly packed (stride == width * 4), top row first. A default
// constructed Image is empty (0 x 0), which the editor uses to mean "no picture".
//
// Pixel buffers of whole frames are recycled: a freed frame buffer is kept in
// a small process-wide pool (bounded in count and bytes, guarded by a mutex)
// and handed to the next frame of the same size, so a chain of filters does
// not map, fault in and zero fresh memory for every intermediate picture.
// The buffers themselves come from LargeBuffers.h (huge pages where offered).

#include <bit>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace tintreel {

// Allocation of pixel buffers through the frame pool. Elements are left
// uninitialised on construction; Image decides when to zero them.
struct PixelAllocator {
    using value_type = std::uint8_t;
    template <typename U>
    struct rebind {
        static_assert(std::is_same_v<U, std::uint8_t>, "pixel buffers hold bytes only");
        using other = PixelAllocator;
    };
    PixelAllocator() = default;
    std::uint8_t* allocate(std::size_t n);
    void deallocate(std::uint8_t* p, std::size_t n) noexcept;
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    bool operator==(const PixelAllocator&) const = default;
};

class Image {
public:
    static constexpr int kChannels = 4;
    // A pixel's alpha byte within the pixel read as one 32-bit word.
    static constexpr std::uint32_t kAlphaBits =
        std::endian::native == std::endian::little ? 0xff000000u : 0x000000ffu;

    Image() = default;
    // A width x height picture filled with transparent black. Non-positive
    // sizes give an empty image.
    Image(int width, int height);
    // A width x height picture whose pixels are left unspecified, for kernels
    // that write every pixel: it saves zero-filling a frame only to overwrite it.
    static Image forOverwrite(int width, int height);

    // Copies take their buffer from the pool and copy the bytes in one go; a
    // moved-from Image is empty.
    Image(const Image& other);
    Image& operator=(const Image& other);
    Image(Image&& other) noexcept
        : width_(std::exchange(other.width_, 0)),
          height_(std::exchange(other.height_, 0)),
          pixels_(std::move(other.pixels_)) {}
    Image& operator=(Image&& other) noexcept {
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        pixels_ = std::move(other.pixels_);
        return *this;
    }

    int width() const { return width_; }
    int height() const { return height_; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0; }
    std::size_t stride() const { return static_cast<std::size_t>(width_) * kChannels; }
    std::size_t byteCount() const { return pixels_.size(); }

    std::uint8_t* data() { return pixels_.data(); }
    const std::uint8_t* data() const { return pixels_.data(); }
    std::uint8_t* row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * stride(); }
    const std::uint8_t* row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * stride(); }
    std::uint8_t* pixel(int x, int y) { return row(y) + static_cast<std::size_t>(x) * kChannels; }
    const std::uint8_t* pixel(int x, int y) const { return row(y) + static_cast<std::size_t>(x) * kChannels; }

    bool operator==(const Image&) const = default;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t, PixelAllocator> pixels_;
};

}  // namespace tintreel
