#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/filters/Parallel.h"
#include "platform/filters/StylizeFilters.h"

namespace tintreel {

namespace {

// Summed-area tables of r, g, b and of r² + g² + b², (w + 1) x (h + 1),
// so that any window's mean and variance cost four look-ups whatever its
// size. Sums use unsigned wrap-around: a window's sum is exact as long as it
// fits (it always does: a window is at most the whole picture).
struct SummedAreas {
    int width = 0;
    std::vector<std::uint32_t> rgb;  // 3 per entry
    std::vector<std::uint64_t> squares;

    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * (width + 1) + x; }
};

SummedAreas buildTables(const Image& in) {
    const int w = in.width(), h = in.height();
    SummedAreas t;
    t.width = w;
    t.rgb.assign(static_cast<std::size_t>(w + 1) * (h + 1) * 3, 0);
    t.squares.assign(static_cast<std::size_t>(w + 1) * (h + 1), 0);
    forEachRowBlock(h, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* p = in.row(y);
            std::uint32_t r = 0, g = 0, b = 0;
            std::uint64_t q = 0;
            for (int x = 0; x < w; ++x, p += 4) {
                r += p[0], g += p[1], b += p[2];
                q += p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
                const std::size_t i = t.index(x + 1, y + 1);
                t.rgb[i * 3] = r, t.rgb[i * 3 + 1] = g, t.rgb[i * 3 + 2] = b;
                t.squares[i] = q;
            }
        }
    });
    for (int y = 2; y <= h; ++y) {
        const std::size_t above = t.index(0, y - 1), here = t.index(0, y);
        for (std::size_t i = 0; i < static_cast<std::size_t>(w + 1) * 3; ++i)
            t.rgb[here * 3 + i] += t.rgb[above * 3 + i];
        for (std::size_t i = 0; i <= static_cast<std::size_t>(w); ++i)
            t.squares[here + i] += t.squares[above + i];
    }
    return t;
}

struct Window {
    double variance;
    double mean[3];
};

// Statistics of the pixels in [x0, x1) x [y0, y1).
Window windowStats(const SummedAreas& t, int x0, int y0, int x1, int y1) {
    const std::size_t a = t.index(x0, y0), b = t.index(x1, y0), c = t.index(x0, y1), d = t.index(x1, y1);
    const double n = static_cast<double>(x1 - x0) * (y1 - y0);
    Window win{};
    double sumOfMeanSquares = 0.0;
    for (int k = 0; k < 3; ++k) {
        const std::uint32_t s = t.rgb[d * 3 + k] - t.rgb[b * 3 + k] - t.rgb[c * 3 + k] + t.rgb[a * 3 + k];
        win.mean[k] = s / n;
        sumOfMeanSquares += win.mean[k] * win.mean[k];
    }
    const std::uint64_t q = t.squares[d] - t.squares[b] - t.squares[c] + t.squares[a];
    win.variance = q / n - sumOfMeanSquares;
    return win;
}

}  // namespace

Image KuwaharaFilter::apply(const Image& input) const {
    if (isIdentity() || input.isEmpty()) return input;
    const int w = input.width(), h = input.height();
    // Beyond the larger side every window is clipped to the picture, so the
    // result no longer changes; 4095 keeps a window's sums within 32 bits.
    constexpr unsigned kLargestUsefulRadius = 4095;
    const unsigned limit = std::min(static_cast<unsigned>(std::max(w, h)), kLargestUsefulRadius);
    const int r = static_cast<int>(std::min(radius_, limit));
    const SummedAreas tables = buildTables(input);
    Image out(w, h);
    forEachRowBlock(h, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const int top = std::max(y - r, 0), bottom = std::min(y + r, h - 1) + 1;
            std::uint8_t* d = out.row(y);
            for (int x = 0; x < w; ++x, d += 4) {
                const int left = std::max(x - r, 0), right = std::min(x + r, w - 1) + 1;
                const Window corners[4] = {
                    windowStats(tables, left, top, x + 1, y + 1), windowStats(tables, x, top, right, y + 1),
                    windowStats(tables, left, y, x + 1, bottom), windowStats(tables, x, y, right, bottom)};
                const Window* best = &corners[0];
                for (const Window& c : corners)
                    if (c.variance < best->variance) best = &c;
                for (int k = 0; k < 3; ++k) d[k] = static_cast<std::uint8_t>(best->mean[k] + 0.5);
                d[3] = input.pixel(x, y)[3];
            }
        }
    });
    return out;
}

}  // namespace tintreel
