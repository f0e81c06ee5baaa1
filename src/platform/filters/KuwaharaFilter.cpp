#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>

#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"
#include "platform/filters/StylizeFilters.h"

namespace tintreel {

namespace {

// Per-column sums of r, g, b and r² + g² + b² over a band of rows, kept as
// the band slides down one row at a time, and their running totals along
// the row, so that any window of the band costs two look-ups per sum. The
// cost per pixel is the same whatever the radius. The totals are held as
// doubles, one plane per sum: whole numbers below 2^53 (a 4K picture's
// totals stay below 2^41), so every window sum is exact, and the pixel loop
// vectorises. Both spans come from per-thread scratch memory.
class Band {
public:
    Band(int width, std::span<std::int64_t> columns, std::span<double> totals)
        : width_(width), columns_(columns), totals_(totals) {
        std::fill(columns_.begin(), columns_.end(), 0);
    }

    void add(const std::uint8_t* row) { update(row, +1); }
    void remove(const std::uint8_t* row) { update(row, -1); }

    // The four running totals advance together: four independent chains of
    // additions keep the adder busy where one chain would wait on each sum.
    void total() {
        double* t[4] = {plane(0), plane(1), plane(2), plane(3)};
        double run[4] = {0.0, 0.0, 0.0, 0.0};
        for (int c = 0; c < 4; ++c) t[c][0] = 0.0;
        for (int x = 0; x < width_; ++x) {
            for (int c = 0; c < 4; ++c) {
                run[c] += static_cast<double>(columns_[x * 4 + c]);
                t[c][x + 1] = run[c];
            }
        }
    }
    // Running totals of sum number c (r, g, b, squares): columns [x0, x1) sum to t[x1] - t[x0].
    const double* plane(int c) const { return totals_.data() + static_cast<std::size_t>(c) * (width_ + 1); }

private:
    double* plane(int c) { return totals_.data() + static_cast<std::size_t>(c) * (width_ + 1); }

    void update(const std::uint8_t* row, std::int64_t sign) {
        for (std::size_t i = 0; i < columns_.size(); i += 4, row += 4) {
            const std::int64_t r = row[0], g = row[1], b = row[2];
            columns_[i] += sign * r, columns_[i + 1] += sign * g, columns_[i + 2] += sign * b;
            columns_[i + 3] += sign * (r * r + g * g + b * b);
        }
    }

    int width_;
    std::span<std::int64_t> columns_;  // four sums per column
    std::span<double> totals_;         // four planes of width + 1 running totals
};

// One band as the pixel loop reads it.
struct Totals {
    const double* sum[4];
    double rows;
    explicit Totals(const Band& band, int rows)
        : sum{band.plane(0), band.plane(1), band.plane(2), band.plane(3)}, rows(rows) {}
};

// The mean colour, plus one half ready to truncate, of the least varied of
// pixel x's four windows: columns [left, x + 1) and [x, right) of the bands
// above and below, the first on a tie. A window of n pixels with sums s and
// sum of squares q has n² times its variance as its spread n q - Σ s², and
// variances compare as spread_a n_b² < spread_b n_a², exactly while those
// products stay below 2^53, that is for every radius up to 24. Written lane
// by lane (selects, no branches) so a loop over x vectorises.
inline void leastVariedMean(const Totals& above, const Totals& below, int x, int left, int right, double& m0,
                            double& m1, double& m2) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, n = 1.0, spread = std::numeric_limits<double>::infinity();
    const auto consider = [&](const Totals& t, int from, int to) {
        const double c0 = t.sum[0][to] - t.sum[0][from], c1 = t.sum[1][to] - t.sum[1][from],
                     c2 = t.sum[2][to] - t.sum[2][from], count = t.rows * (to - from);
        const double cs = count * (t.sum[3][to] - t.sum[3][from]) - (c0 * c0 + c1 * c1 + c2 * c2);
        const bool better = cs * (n * n) < spread * (count * count);
        s0 = better ? c0 : s0, s1 = better ? c1 : s1, s2 = better ? c2 : s2;
        n = better ? count : n, spread = better ? cs : spread;
    };
    consider(above, left, x + 1);
    consider(above, x, right);
    consider(below, left, x + 1);
    consider(below, x, right);
    m0 = s0 / n + 0.5, m1 = s1 / n + 0.5, m2 = s2 / n + 0.5;
}

// Pixels [x0, x1), all at least r from the left and right edges, where
// every window has r + 1 columns and the loop needs no clamping.
TINTREEL_VECTOR_KERNEL void innerMeans(const Totals& above, const Totals& below, int r, int x0, int x1,
                                       double* __restrict m0, double* __restrict m1, double* __restrict m2) {
    const Totals a = above, b = below;
    for (int x = x0; x < x1; ++x) leastVariedMean(a, b, x, x - r, x + r + 1, m0[x], m1[x], m2[x]);
}

// One output row, through `means` (three planes of w).
void kuwaharaRow(const Totals& above, const Totals& below, int r, int w, const std::uint8_t* s,
                 std::uint8_t* d, std::span<double> means) {
    double* m0 = means.data();
    double* m1 = m0 + w;
    double* m2 = m1 + w;
    const auto edgeMeans = [&](int x0, int x1) {
        for (int x = x0; x < x1; ++x)
            leastVariedMean(above, below, x, std::max(x - r, 0), std::min(x + r, w - 1) + 1, m0[x], m1[x],
                            m2[x]);
    };
    const int inner0 = std::min(r, w), inner1 = std::max(w - r, inner0);
    edgeMeans(0, inner0);
    innerMeans(above, below, r, inner0, inner1, m0, m1, m2);
    edgeMeans(inner1, w);
    for (int x = 0; x < w; ++x) {
        std::uint8_t* p = d + x * 4;
        p[0] = static_cast<std::uint8_t>(m0[x]), p[1] = static_cast<std::uint8_t>(m1[x]);
        p[2] = static_cast<std::uint8_t>(m2[x]), p[3] = s[x * 4 + 3];
    }
}

// Output rows [y0, y1): the two bands are filled for y0 and then slide.
void kuwaharaRows(const Image& in, int r, int y0, int y1, Image& out) {
    const int w = in.width(), h = in.height();
    const std::size_t n = in.stride(), planes = 4 * (static_cast<std::size_t>(w) + 1);
    Band above(w, threadScratch<std::int64_t, 0>(n), threadScratch<double, 1>(planes));
    Band below(w, threadScratch<std::int64_t, 2>(n), threadScratch<double, 3>(planes));
    const std::span<double> means = threadScratch<double, 4>(3 * static_cast<std::size_t>(w));
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
        kuwaharaRow(Totals(above, rowsAbove), Totals(below, rowsBelow), r, w, in.row(y), out.row(y), means);
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
