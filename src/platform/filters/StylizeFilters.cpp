#include "platform/filters/StylizeFilters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "platform/filters/BlurFilters.h"
#include "platform/filters/ColorFilters.h"
#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"

namespace tintreel {

namespace {

float lumaOf(const std::uint8_t* p) {
    return static_cast<float>((kLumaRed * p[0] + kLumaGreen * p[1] + kLumaBlue * p[2]) / 255.0);
}

// Luma of every pixel in [0, 1], row by row.
std::vector<float> lumaPlane(const Image& image) {
    std::vector<float> luma(static_cast<std::size_t>(image.width()) * image.height());
    forEachRowBlock(image.height(), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* p = image.row(y);
            float* l = luma.data() + static_cast<std::size_t>(y) * image.width();
            for (int x = 0; x < image.width(); ++x, p += 4) l[x] = lumaOf(p);
        }
    });
    return luma;
}

// Sobel gradient magnitude of the luma plane at (x, y), edges clamped.
float sobel(const std::vector<float>& luma, int w, int h, int x, int y) {
    const int xl = std::max(x - 1, 0), xr = std::min(x + 1, w - 1);
    const int yt = std::max(y - 1, 0), yb = std::min(y + 1, h - 1);
    auto at = [&](int px, int py) { return luma[static_cast<std::size_t>(py) * w + px]; };
    const float gx = at(xr, yt) + 2 * at(xr, y) + at(xr, yb) - at(xl, yt) - 2 * at(xl, y) - at(xl, yb);
    const float gy = at(xl, yb) + 2 * at(x, yb) + at(xr, yb) - at(xl, yt) - 2 * at(x, yt) - at(xr, yt);
    return std::sqrt(gx * gx + gy * gy);
}

}  // namespace

void SmoothToonFilter::setBlurRadiusInPixels(double sigma) {
    setFinite(sigma_, sigma);
}
void SmoothToonFilter::setThreshold(double threshold) {
    setFinite(threshold_, threshold);
}
void SmoothToonFilter::setQuantizationLevels(double levels) {
    setFinite(levels_, levels);
}

Image SmoothToonFilter::apply(const Image& input) const {
    if (input.isEmpty()) return input;
    GaussianBlurFilter blur;
    blur.setBlurRadiusInPixels(sigma_);
    const Image blurred = blur.apply(input);
    const std::vector<float> luma = lumaPlane(blurred);
    const double levels = std::max(levels_, 1.0);
    std::array<std::uint8_t, 256> quantised{};
    for (int i = 0; i < 256; ++i)
        quantised[i] = unitToByte(static_cast<float>(std::floor(i / 255.0 * levels + 0.5) / levels));
    const float threshold = static_cast<float>(threshold_);
    const int w = input.width(), h = input.height();
    Image out = Image::forOverwrite(w, h);
    forEachRowBlock(h, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* s = blurred.row(y);
            std::uint8_t* d = out.row(y);
            for (int x = 0; x < w; ++x, s += 4, d += 4) {
                const bool edge = sobel(luma, w, h, x, y) > threshold;
                for (int c = 0; c < 3; ++c) d[c] = edge ? 0 : quantised[s[c]];
                d[3] = input.pixel(x, y)[3];
            }
        }
    });
    return out;
}

void VignetteFilter::setVignetteStart(double start) {
    setFinite(start_, start);
}
void VignetteFilter::setVignetteEnd(double end) {
    setFinite(end_, end);
}

Image VignetteFilter::apply(const Image& input) const {
    const int w = input.width(), h = input.height();
    const float start = static_cast<float>(start_), end = static_cast<float>(end_);
    Image out = Image::forOverwrite(w, h);
    forEachRowBlock(h, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* s = input.row(y);
            std::uint8_t* d = out.row(y);
            const float dy = (y + 0.5f) / h - 0.5f;
            for (int x = 0; x < w; ++x, s += 4, d += 4) {
                const float dx = (x + 0.5f) / w - 0.5f;
                const float keep = 1.0f - smoothstep(start, end, std::sqrt(dx * dx + dy * dy));
                for (int c = 0; c < 3; ++c) d[c] = levelToByte(s[c] * keep);
                d[3] = s[3];
            }
        }
    });
    return out;
}

int cellSizeInPixels(double fraction, int width) {
    const double pixels = fraction * width;
    if (!(pixels >= 1.0)) return 1;
    return static_cast<int>(std::min(std::round(pixels), static_cast<double>(std::max(width, 1))));
}

void PixellateFilter::setFractionalWidthOfAPixel(double fraction) {
    setFinite(fraction_, fraction);
}

Image PixellateFilter::apply(const Image& input) const {
    const int w = input.width(), h = input.height();
    const int cell = cellSizeInPixels(fraction_, w);
    Image out = Image::forOverwrite(w, h);
    forEachRowBlock(h, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const int sy = std::min((y / cell) * cell + cell / 2, h - 1);
            std::uint8_t* d = out.row(y);
            for (int x = 0; x < w; ++x, d += 4) {
                const int sx = std::min((x / cell) * cell + cell / 2, w - 1);
                std::memcpy(d, input.pixel(sx, sy), 4);
            }
        }
    });
    return out;
}

void HalftoneFilter::setFractionalWidthOfAPixel(double fraction) {
    setFinite(fraction_, fraction);
}

Image HalftoneFilter::apply(const Image& input) const {
    const int w = input.width(), h = input.height();
    const int cell = cellSizeInPixels(fraction_, w);
    const float half = cell * 0.5f;
    Image out = Image::forOverwrite(w, h);
    forEachRowBlock(h, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const int cy = (y / cell) * cell;
            std::uint8_t* d = out.row(y);
            for (int x = 0; x < w; ++x, d += 4) {
                const int cx = (x / cell) * cell;
                const float darkness = 1.0f - lumaOf(input.pixel(std::min(cx + cell / 2, w - 1),
                                                                 std::min(cy + cell / 2, h - 1)));
                // The dot's area is the cell's area times the darkness.
                const float radius = cell * std::sqrt(darkness / std::numbers::pi_v<float>);
                const float ox = x + 0.5f - (cx + half), oy = y + 0.5f - (cy + half);
                const float dist = std::sqrt(ox * ox + oy * oy);  // within a cell: no overflow to guard
                // One pixel of anti-aliasing at the rim, faded out for dots
                // thinner than a pixel so that a white cell stays white.
                const float ink =
                    (1.0f - smoothstep(radius - 0.5f, radius + 0.5f, dist)) * std::min(2.0f * radius, 1.0f);
                d[0] = d[1] = d[2] = unitToByte(1.0f - ink);
                d[3] = input.pixel(x, y)[3];
            }
        }
    });
    return out;
}

}  // namespace tintreel
