#include <algorithm>
#include <cstdint>
#include <span>

#include "platform/filters/Parallel.h"
#include "platform/filters/StylizeFilters.h"

namespace tintreel {

namespace {

// Per-column sums of r, g, b and r² + g² + b² over a band of rows, kept as
// the band slides down one row at a time, and their running totals along
// the row, so that any window of the band costs two look-ups per sum. The
// cost per pixel is the same whatever the radius. Sums are exact integers;
// unsigned wrap-around in the running totals cancels in every difference.
// Both spans come from per-thread scratch memory and are cleared here.
class Band {
public:
    Band(std::span<std::uint64_t> columns, std::span<std::uint64_t> prefix)
        : columns_(columns), prefix_(prefix) {
        std::fill(columns_.begin(), columns_.end(), 0);
        std::fill(prefix_.begin(), prefix_.begin() + 4, 0);
    }

    void add(const std::uint8_t* row) { update(row, +1); }
    void remove(const std::uint8_t* row) { update(row, -1); }

    void total() {
        for (std::size_t i = 0; i < columns_.size(); ++i) prefix_[i + 4] = prefix_[i] + columns_[i];
    }
    // Sum number c (r, g, b, squares) over columns [x0, x1).
    std::uint64_t sum(int x0, int x1, int c) const { return prefix_[x1 * 4 + c] - prefix_[x0 * 4 + c]; }

private:
    void update(const std::uint8_t* row, int sign) {
        const std::uint64_t s = static_cast<std::uint64_t>(sign);
        for (std::size_t i = 0; i < columns_.size(); i += 4, row += 4) {
            const std::uint64_t r = row[0], g = row[1], b = row[2];
            columns_[i] += s * r, columns_[i + 1] += s * g, columns_[i + 2] += s * b;
            columns_[i + 3] += s * (r * r + g * g + b * b);
        }
    }

    std::span<std::uint64_t> columns_;  // four sums per column
    std::span<std::uint64_t> prefix_;   // their running totals, one column longer
};

struct Window {
    std::uint64_t sum[3];
    std::uint64_t count;
    std::uint64_t spread;  // n q - Σ s² = n² times the variance, exact
};

// Statistics of columns [x0, x1) of a band of `rows` rows.
inline Window windowStats(const Band& band, int rows, int x0, int x1) {
    Window w{{band.sum(x0, x1, 0), band.sum(x0, x1, 1), band.sum(x0, x1, 2)},
             static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(x1 - x0),
             0};
    w.spread =
        w.count * band.sum(x0, x1, 3) - w.sum[0] * w.sum[0] - w.sum[1] * w.sum[1] - w.sum[2] * w.sum[2];
    return w;
}

// Window sums stay far below 2^63, where the signed conversion is one instruction.
inline double toDouble(std::uint64_t v) {
    return static_cast<double>(static_cast<std::int64_t>(v));
}

// The window with the smallest variance, the first one on a tie. Windows of
// equal size compare their exact spreads; near the picture's edges, where
// sizes differ, the variances are compared.
const Window& leastVaried(const Window (&w)[4]) {
    const Window* best = &w[0];
    const bool sameSize = w[0].count == w[1].count && w[0].count == w[2].count && w[0].count == w[3].count;
    for (const Window& c : w) {
        const bool less = sameSize
                              ? c.spread < best->spread
                              : toDouble(c.spread) / (toDouble(c.count) * toDouble(c.count)) <
                                    toDouble(best->spread) / (toDouble(best->count) * toDouble(best->count));
        if (less) best = &c;
    }
    return *best;
}

// One output row from the bands above (rows y - r ... y) and below (y ... y + r).
void kuwaharaRow(const Image& in, const Band& above, int rowsAbove, const Band& below, int rowsBelow, int r,
                 int y, std::uint8_t* d) {
    const int w = in.width();
    const std::uint8_t* s = in.row(y);
    for (int x = 0; x < w; ++x, d += 4, s += 4) {
        const int left = std::max(x - r, 0), right = std::min(x + r, w - 1) + 1;
        const Window corners[4] = {
            windowStats(above, rowsAbove, left, x + 1), windowStats(above, rowsAbove, x, right),
            windowStats(below, rowsBelow, left, x + 1), windowStats(below, rowsBelow, x, right)};
        const Window& best = leastVaried(corners);
        const double n = toDouble(best.count);
        for (int k = 0; k < 3; ++k) d[k] = static_cast<std::uint8_t>(toDouble(best.sum[k]) / n + 0.5);
        d[3] = s[3];
    }
}

// Output rows [y0, y1): the two bands are filled for y0 and then slide.
void kuwaharaRows(const Image& in, int r, int y0, int y1, Image& out) {
    const int h = in.height();
    const std::size_t n = in.stride();
    Band above(threadScratch<std::uint64_t, 0>(n), threadScratch<std::uint64_t, 1>(n + 4));
    Band below(threadScratch<std::uint64_t, 2>(n), threadScratch<std::uint64_t, 3>(n + 4));
    for (int y = std::max(y0 - r, 0); y <= y0; ++y) above.add(in.row(y));
    for (int y = y0; y <= std::min(y0 + r, h - 1); ++y) below.add(in.row(y));
    for (int y = y0; y < y1; ++y) {
        if (y > y0) {
            above.add(in.row(y));
            if (y - r - 1 >= 0) above.remove(in.row(y - r - 1));
            below.remove(in.row(y - 1));
            if (y + r < h) below.add(in.row(y + r));
        }
        above.total();
        below.total();
        const int rowsAbove = y - std::max(y - r, 0) + 1, rowsBelow = std::min(y + r, h - 1) - y + 1;
        kuwaharaRow(in, above, rowsAbove, below, rowsBelow, r, y, out.row(y));
    }
}

}  // namespace

Image KuwaharaFilter::apply(const Image& input) const {
    if (isIdentity() || input.isEmpty()) return input;
    const int w = input.width(), h = input.height();
    // Beyond the larger side every window is clipped to the picture, so the
    // result no longer changes.
    const int r = static_cast<int>(std::min(radius_, static_cast<unsigned>(std::max(w, h))));
    Image out = Image::forOverwrite(w, h);
    // Filling the bands costs about 2r row additions per block, so blocks are
    // made longer for larger radii, but never so long that a thread idles.
    const int grain = std::clamp(4 * r, kRowGrain, std::max(h / 8, kRowGrain));
    forEachRowBlock(h, grain, [&](int y0, int y1) { kuwaharaRows(input, r, y0, y1, out); });
    return out;
}

}  // namespace tintreel
