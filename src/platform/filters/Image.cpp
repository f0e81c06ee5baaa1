#include "platform/filters/Image.h"

namespace tintreel {

Image::Image(int width, int height) {
    if (width <= 0 || height <= 0) return;
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kChannels, 0);
}

}  // namespace tintreel
