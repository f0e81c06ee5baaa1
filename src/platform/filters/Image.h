#pragma once
// Image: a straight-alpha RGBA8 picture held by value.
//
// Ownership: an Image owns its pixels; copying copies them, moving is cheap.
// Threads: an Image is a plain value; distinct Images may be used on distinct
// threads freely, one Image must not be written while another thread reads it.
//
// Rows are tightly packed (stride == width * 4), top row first. A default
// constructed Image is empty (0 x 0), which the editor uses to mean "no picture".

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tintreel {

class Image {
public:
    static constexpr int kChannels = 4;

    Image() = default;
    // A width x height picture filled with transparent black. Non-positive
    // sizes give an empty image.
    Image(int width, int height);

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
    std::vector<std::uint8_t> pixels_;
};

}  // namespace tintreel
