#include "platform/filters/StylizeFilters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <span>
#include <vector>

#include "platform/filters/BlurFilters.h"
#include "platform/filters/ColorFilters.h"
#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"
#include "platform/filters/PixelWords.h"

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

namespace {

// How much of each pixel of a row the vignette keeps, from the squared
// horizontal distances of the columns (the same for every row): one square
// root and a smoothstep per pixel, with the step's division turned into a
// product by its reciprocal.
struct VignetteShape {
    float start, end;
};

TINTREEL_VECTOR_KERNEL void vignetteShares(VignetteShape v, float dy, const float* dx2, int w, float* keep) {
    const float dy2 = dy * dy;
    if (!(v.end > v.start)) {  // a hard circle
        for (int x = 0; x < w; ++x) keep[x] = std::sqrt(dx2[x] + dy2) < v.end ? 1.0f : 0.0f;
        return;
    }
    const float reciprocal = 1.0f / (v.end - v.start);
    for (int x = 0; x < w; ++x) {
        float t = (std::sqrt(dx2[x] + dy2) - v.start) * reciprocal;
        t = t > 0.0f ? t : 0.0f;
        t = t < 1.0f ? t : 1.0f;
        keep[x] = 1.0f - t * t * (3.0f - 2.0f * t);
    }
}

// Every colour channel of a row scaled by its pixel's share, alpha copied.
TINTREEL_VECTOR_KERNEL void scaleColours(const std::uint8_t* s, const float* keep, int w, std::uint8_t* d) {
    words::forEachRun(s, d, w, [keep, w](words::Words& pixels, int x) {
        // A whole run's shares in one load; only the row's last run copies fewer.
        words::Floats share{};
        const int count = std::min(words::kLanes, w - x);
        if (count == words::kLanes)
            std::memcpy(&share, keep + x, sizeof share);
        else
            std::memcpy(&share, keep + x, sizeof(float) * static_cast<std::size_t>(count));
        pixels = words::withColours(words::roundedLevels(words::levels(pixels, 0) * share),
                                    words::roundedLevels(words::levels(pixels, 1) * share),
                                    words::roundedLevels(words::levels(pixels, 2) * share), pixels);
    });
}

// The squared horizontal distances of a row's pixels from the centre, the
// same for every row: worked out once per thread for each width.
std::span<const float> squaredColumnDistances(int w) {
    thread_local int dx2Width = -1;
    thread_local std::vector<float> dx2;
    if (dx2Width != w) {
        dx2.resize(static_cast<std::size_t>(std::max(w, 0)));
        for (int x = 0; x < w; ++x) {
            const float dx = (x + 0.5f) / w - 0.5f;
            dx2[x] = dx * dx;
        }
        dx2Width = w;
    }
    return dx2;
}

// The columns [first, last) of a row whose pixels the vignette keeps whole:
// those the shares above give exactly 1, found by halving. The distance
// from the centre falls towards the middle column and rises after it, and
// the share falls as the distance grows, so they are one run about the
// middle (or none).
struct ColumnRange {
    int first, last;
};

// The first x in [lo, hi) for which `holds` fails, where it holds up to
// some x and fails from there on; hi when it never fails.
template <typename Holds>
int firstFailing(int lo, int hi, Holds holds) {
    while (lo < hi) {
        const int x = lo + (hi - lo) / 2;
        if (holds(x))
            lo = x + 1;
        else
            hi = x;
    }
    return lo;
}

ColumnRange keptWhole(VignetteShape v, float dy, std::span<const float> dx2) {
    // A column is kept whole when the share kernel itself gives it exactly 1.
    const auto inside = [&](int x) {
        float keep = 0.0f;
        vignetteShares(v, dy, &dx2[static_cast<std::size_t>(x)], 1, &keep);
        return keep == 1.0f;
    };
    const int w = static_cast<int>(dx2.size()), middle = w / 2;
    // The first inside column left of the middle, and the first outside one from the middle on.
    const int first = firstFailing(0, middle, [&](int x) { return !inside(x); });
    const int end = firstFailing(middle, w, inside);
    return {std::min(first, end), end};
}

}  // namespace

PixelKernel VignetteFilter::kernel() const {
    const VignetteShape shape{static_cast<float>(start_), static_cast<float>(end_)};
    return [shape](const std::uint8_t* s, std::uint8_t* d, int w, RowPlace place) {
        const std::span<const float> dx2 = squaredColumnDistances(w);
        const float dy = (place.y + 0.5f) / place.height - 0.5f;
        const std::span<float> keep = threadScratch<float>(static_cast<std::size_t>(w));
        const auto shade = [&](int x0, int x1) {
            const std::size_t at = static_cast<std::size_t>(x0) * Image::kChannels;
            vignetteShares(shape, dy, dx2.data() + x0, x1 - x0, keep.data());
            scaleColours(s + at, keep.data(), x1 - x0, d + at);
        };
        const ColumnRange whole = keptWhole(shape, dy, dx2);
        shade(0, whole.first);
        std::memcpy(d + static_cast<std::size_t>(whole.first) * Image::kChannels,
                    s + static_cast<std::size_t>(whole.first) * Image::kChannels,
                    static_cast<std::size_t>(whole.last - whole.first) * Image::kChannels);
        shade(whole.last, w);
    };
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
