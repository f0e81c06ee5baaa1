#include "platform/filters/InputRotation.h"

#include <cstring>

#include "platform/filters/Parallel.h"

namespace tintreel {

namespace {

// Copies pixel by pixel: destination (x, y) takes source (sx, sy) as given by map.
template <typename Map>
Image remap(const Image& src, int width, int height, Map map) {
    Image out = Image::forOverwrite(width, height);
    forEachRowBlock(height, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            std::uint8_t* d = out.row(y);
            for (int x = 0; x < width; ++x, d += Image::kChannels) {
                auto [sx, sy] = map(x, y);
                std::memcpy(d, src.pixel(sx, sy), Image::kChannels);
            }
        }
    });
    return out;
}

}  // namespace

Image rotated(const Image& image, InputRotation rotation) {
    const int w = image.width();
    const int h = image.height();
    if (image.isEmpty()) return image;
    switch (rotation) {
        case InputRotation::None:
            return image;
        case InputRotation::RotateLeft:
            return remap(image, h, w, [w](int x, int y) { return std::pair{w - 1 - y, x}; });
        case InputRotation::RotateRight:
            return remap(image, h, w, [h](int x, int y) { return std::pair{y, h - 1 - x}; });
        case InputRotation::HalfTurn:
            return remap(image, w, h, [w, h](int x, int y) { return std::pair{w - 1 - x, h - 1 - y}; });
    }
    return image;
}

}  // namespace tintreel
