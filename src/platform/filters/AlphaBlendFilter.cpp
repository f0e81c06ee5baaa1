#include "platform/filters/AlphaBlendFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"

namespace tintreel {

void AlphaBlendFilter::setMix(double mix) {
    mix_ = std::isnan(mix) ? 0.0 : std::clamp(mix, 0.0, 1.0);
}

Image AlphaBlendFilter::apply(const Image& base, const Image& overlay) const {
    if (base.isEmpty() || overlay.isEmpty() || mix_ == 0.0) return base;
    if (overlay.width() != base.width() || overlay.height() != base.height())
        return apply(base, resized(overlay, base.width(), base.height()));
    const float weight = static_cast<float>(mix_) / 255.0f;
    Image out = Image::forOverwrite(base.width(), base.height());
    forEachRowBlock(base.height(), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            std::uint8_t* d = out.row(y);
            std::memcpy(d, base.row(y), base.stride());
            const std::uint8_t* o = overlay.row(y);
            for (int x = 0; x < base.width(); ++x, d += 4, o += 4) {
                if (o[3] == 0) continue;  // most of a watermark canvas is transparent
                const float t = o[3] * weight;
                for (int c = 0; c < 3; ++c) d[c] = levelToByte(d[c] + (o[c] - d[c]) * t);
            }
        }
    });
    return out;
}

Image resized(const Image& image, int width, int height) {
    if (image.isEmpty() || width <= 0 || height <= 0) return Image(width, height);
    Image out = Image::forOverwrite(width, height);
    const float sx = static_cast<float>(image.width()) / width;
    const float sy = static_cast<float>(image.height()) / height;
    forEachRowBlock(height, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            std::uint8_t* d = out.row(y);
            for (int x = 0; x < width; ++x, d += 4)
                storeTexel(d, sampleBilinear(image, (x + 0.5f) * sx - 0.5f, (y + 0.5f) * sy - 0.5f));
        }
    });
    return out;
}

}  // namespace tintreel
