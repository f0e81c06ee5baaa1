#include "platform/filters/AlphaBlendFilter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"

namespace tintreel {

namespace {

// The blend looks at the overlay this many pixels at a time and skips a run
// where every pixel is transparent.
constexpr int kRun = 16;

TINTREEL_VECTOR_KERNEL bool anyAlpha(const std::uint8_t* pixels, int count) {
    std::uint32_t any = 0;
    for (int x = 0; x < count; ++x) {
        std::uint32_t pixel;
        std::memcpy(&pixel, pixels + 4 * x, sizeof pixel);
        any |= pixel;
    }
    return (any & Image::kAlphaBits) != 0;
}

}  // namespace

void AlphaBlendFilter::setMix(double mix) {
    mix_ = std::isnan(mix) ? 0.0 : std::clamp(mix, 0.0, 1.0);
}

Image AlphaBlendFilter::apply(const Image& base, const Image& overlay) const {
    if (base.isEmpty() || overlay.isEmpty() || mix_ == 0.0) return base;
    if (overlay.width() != base.width() || overlay.height() != base.height())
        return apply(base, resized(overlay, base.width(), base.height()));
    Image out = base;
    blendOnto(out, overlay, 0, out.height());
    return out;
}

void AlphaBlendFilter::blendOnto(Image& base, const Image& overlay, int first, int last) const {
    if (mix_ == 0.0 || first >= last) return;
    const float weight = static_cast<float>(mix_) / 255.0f;
    forEachRowBlock(last - first, [&](int y0, int y1) {
        for (int y = first + y0; y < first + y1; ++y) {
            std::uint8_t* d = base.row(y);
            const std::uint8_t* o = overlay.row(y);
            for (int x0 = 0; x0 < base.width(); x0 += kRun) {
                const int x1 = std::min(x0 + kRun, base.width());
                // Most of a watermark canvas is transparent.
                if (!anyAlpha(o + 4 * x0, x1 - x0)) continue;
                for (int x = x0; x < x1; ++x) {
                    if (o[4 * x + 3] == 0) continue;
                    const float t = o[4 * x + 3] * weight;
                    for (int c = 0; c < 3; ++c)
                        d[4 * x + c] = levelToByte(d[4 * x + c] + (o[4 * x + c] - d[4 * x + c]) * t);
                }
            }
        }
    });
}

std::pair<int, int> rowsWithAlpha(const Image& image) {
    const auto inked = [&](int y) { return anyAlpha(image.row(y), image.width()); };
    int first = 0, last = image.height();
    while (first < last && !inked(first)) ++first;
    while (last > first && !inked(last - 1)) --last;
    return {first, last};
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
