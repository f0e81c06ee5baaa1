#include "platform/filters/BlurFilters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <utility>
#include <vector>

#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"
#include "platform/filters/RecursiveGaussian.h"

namespace tintreel {

namespace {

// The Gaussian is cut at three sigmas.
int gaussianRadius(double sigma) {
    return std::max(1, static_cast<int>(std::ceil(sigma * 3.0)));
}

// Above this sigma the recursive blur (RecursiveGaussian.h), whose cost does
// not depend on sigma, costs less than the direct convolution, whose cost
// grows with the radius (measured with bench/kernel_bench.sh: at 1080p the
// two meet between sigma 5 and 6); at and below it the direct one is kept.
constexpr double kRecursiveAboveSigma = 5.0;

// (The largest sigma, kMaxSigma, lies above it: a sigma capped there still
// blurs recursively.)
bool blursRecursively(double sigma) {
    return sigma > kRecursiveAboveSigma;
}

// Weights for offsets 0 ... r of a Gaussian with the given sigma, cut at
// its radius and normalised so that the full symmetric kernel sums to 1.
std::vector<double> halfGaussian(double sigma) {
    const int r = gaussianRadius(sigma);
    std::vector<double> w(static_cast<std::size_t>(r) + 1);
    double sum = 0.0;
    for (int i = 0; i <= r; ++i) {
        w[i] = std::exp(-0.5 * i * i / (sigma * sigma));
        sum += i == 0 ? w[i] : 2.0 * w[i];
    }
    for (double& v : w) v /= sum;
    return w;
}

std::uint8_t roundLevel(float v) {
    return static_cast<std::uint8_t>(std::min(v + 0.5f, 255.0f));
}

// The Gaussian in 16-bit fixed point, so that a vector register holds
// sixteen levels where it would hold eight floats. Both passes keep levels
// with 8 fractional bits (level x 256, at most 65280) and weigh a pair of
// samples at once: their mean times twice the weight, each product the high
// half of a 16 x 16-bit multiply. The weights are in units of 1 / 65536 and
// the centre takes what the rounded side weights leave, so they sum to
// exactly 1. Every product drops its fraction: half a unit on average in
// busy areas, often nothing in flat ones (where the products come out
// whole), so each pass starts from a third of a unit per product, which
// keeps every flat level exactly and every other within a level of the
// floating-point definition, up to the largest sigma.
struct FixedKernel {
    std::vector<std::uint16_t> pair;  // 2 x weight of offsets 1 ... r (index 0 unused)
    std::uint16_t centre = 0;
    std::uint16_t bias = 0;  // a third of a unit per product

    std::size_t radius() const { return pair.size() - 1; }
};

FixedKernel fixedKernel(double sigma) {
    const std::vector<double> w = halfGaussian(std::min(sigma, GaussianBlurFilter::kMaxSigma));
    FixedKernel k;
    k.pair.resize(w.size());
    long sides = 0;
    for (std::size_t t = 1; t < w.size(); ++t) {
        const long unit = std::lround(w[t] * 65536.0);
        k.pair[t] = static_cast<std::uint16_t>(2 * unit);  // a side weight is below 1 / 3
        sides += 2 * unit;
    }
    k.centre = static_cast<std::uint16_t>(std::clamp(65536L - sides, 0L, 65535L));
    k.bias = static_cast<std::uint16_t>(w.size() / 3);
    return k;
}

inline std::uint16_t mulHigh(std::uint16_t a, std::uint16_t b) {
    return static_cast<std::uint16_t>((static_cast<std::uint32_t>(a) * b) >> 16);
}

// (a + b + 1) / 2 in 16 bits: written without the wider sum, so that the
// compiler keeps sixteen lanes to a register.
inline std::uint16_t roundedMean(std::uint16_t a, std::uint16_t b) {
    return static_cast<std::uint16_t>((a | b) - ((a ^ b) >> 1));
}

// Sums of this many levels stay in vector registers across all the taps
// when the count is known while compiling; the last few levels of a run
// take the same arithmetic with a count known only at run time.
constexpr std::size_t kLanes = 32;

// The vertical pass of row y over the levels [first, first + n) of the
// input rows around it into acc. The sums go through memory, two taps at a
// time (kept in registers, the compiler turns the loops inside out and
// stops vectorising them).
TINTREEL_VECTOR_KERNEL void verticalPass(const Image& in, const FixedKernel& k, int y, std::size_t first,
                                         std::size_t n, std::uint16_t* acc) {
    const int r = static_cast<int>(k.radius());
    const auto above = [&](int t) { return in.row(std::max(y - t, 0)) + first; };
    const auto below = [&](int t) { return in.row(std::min(y + t, in.height() - 1)) + first; };
    // (a + b) x 128 is the pair's mean with 8 fractional bits, exactly.
    const auto pairMean = [](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint16_t>((a + b) << 7);
    };
    const std::uint8_t* centre = in.row(y) + first;
    for (std::size_t i = 0; i < n; ++i)
        acc[i] = k.bias + mulHigh(static_cast<std::uint16_t>(centre[i] << 8), k.centre);
    int t = 1;
    for (; t + 1 <= r; t += 2) {
        const std::uint8_t *a = above(t), *b = below(t), *c = above(t + 1), *d = below(t + 1);
        const std::uint16_t w1 = k.pair[t], w2 = k.pair[t + 1];
        for (std::size_t i = 0; i < n; ++i)
            acc[i] += mulHigh(pairMean(a[i], b[i]), w1) + mulHigh(pairMean(c[i], d[i]), w2);
    }
    if (t == r) {
        const std::uint8_t *a = above(t), *b = below(t);
        for (std::size_t i = 0; i < n; ++i) acc[i] += mulHigh(pairMean(a[i], b[i]), k.pair[t]);
    }
}

// The horizontal pass of the levels [0, n) around mid into dst, n at most
// kLanes (exactly when Fixed).
template <std::size_t Fixed>
[[gnu::always_inline]] inline void horizontalLanes(const FixedKernel& k, const std::uint16_t* mid,
                                                   std::size_t count, std::uint8_t* dst) {
    const std::size_t n = Fixed ? Fixed : count;
    std::uint16_t sum[kLanes];
    for (std::size_t i = 0; i < n; ++i) sum[i] = k.bias + mulHigh(mid[i], k.centre);
    for (std::size_t t = 1; t < k.pair.size(); ++t) {
        const std::uint16_t* left = mid - 4 * t;
        const std::uint16_t* right = mid + 4 * t;
        const std::uint16_t wt = k.pair[t];
        for (std::size_t i = 0; i < n; ++i) sum[i] += mulHigh(roundedMean(left[i], right[i]), wt);
    }
    for (std::size_t i = 0; i < n; ++i)
        // Rounded to a level in 16 bits; a sum the bias pushed past 255.5 levels gives 255.
        dst[i] = static_cast<std::uint8_t>(
            static_cast<std::uint16_t>(std::min<std::uint16_t>(sum[i], 65407) + 128) >> 8);
}

TINTREEL_VECTOR_KERNEL void horizontalLevels(const FixedKernel& k, const std::uint16_t* mid, std::size_t n,
                                             std::uint8_t* dst) {
    std::size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) horizontalLanes<kLanes>(k, mid + i, kLanes, dst + i);
    if (i < n) horizontalLanes<0>(k, mid + i, n - i, dst + i);
}

// A line of m + 2r pixels whose vertical pass holds the levels [lo, hi):
// the pixels before and after are the edge pixels repeated, then the
// horizontal pass of the middle m pixels goes into dst.
void horizontalPass(const FixedKernel& k, std::uint16_t* line, std::size_t lo, std::size_t hi, std::size_t m,
                    std::uint8_t* dst) {
    const std::size_t r = k.radius();
    for (std::size_t p = 0; p < lo; p += 4) std::copy(line + lo, line + lo + 4, line + p);
    for (std::size_t p = hi; p < m + 8 * r; p += 4) std::copy(line + hi - 4, line + hi, line + p);
    horizontalLevels(k, line + 4 * r, m, dst);
}

// Columns [x0, x1) of row y of the blurred picture into `dst` (pixel x0
// first), through `line` over the columns the horizontal pass reads. Only
// the columns asked for are computed, and each is computed exactly as a
// whole-row blur would.
void blurSpan(const Image& in, const FixedKernel& k, int y, int x0, int x1, std::span<std::uint16_t> line,
              std::uint8_t* dst) {
    const int r = static_cast<int>(k.radius());
    const int c0 = std::max(x0 - r, 0), c1 = std::min(x1 + r, in.width());  // columns inside the picture
    const std::size_t lo = static_cast<std::size_t>(c0 - (x0 - r)) * 4;
    const std::size_t n = static_cast<std::size_t>(c1 - c0) * 4;
    verticalPass(in, k, y, static_cast<std::size_t>(c0) * 4, n, line.data() + lo);
    horizontalPass(k, line.data(), lo, lo + n, static_cast<std::size_t>(x1 - x0) * 4, dst);
}

// Levels in a line: a row and the radius's worth of pixels on either side.
std::size_t lineLength(const Image& in, const FixedKernel& k) {
    return in.stride() + 8 * k.radius();
}

// The whole picture runs the vertical pass of a few rows together, strip by
// strip across the width: the input rows a strip reads stay in the first
// level cache for all those rows instead of being fetched again for each.
constexpr int kBandRows = 8;
constexpr std::size_t kStripLevels = 256;

void blurBand(const Image& in, const FixedKernel& k, int y0, int y1, std::span<std::uint16_t> lines,
              Image& out) {
    const std::size_t n = in.stride(), length = lineLength(in, k), lo = 4 * k.radius();
    // The rows the next band reads that this one does not.
    const int ahead0 = y1 + static_cast<int>(k.radius()), ahead1 = std::min(ahead0 + (y1 - y0), in.height());
    for (std::size_t first = 0; first < n; first += kStripLevels) {
        const std::size_t count = std::min(kStripLevels, n - first);
        for (int y = ahead0; y < ahead1; ++y) prefetchBytes(in.row(y) + first, count);
        for (int y = y0; y < y1; ++y)
            verticalPass(in, k, y, first, count, lines.data() + (y - y0) * length + lo + first);
    }
    for (int y = y0; y < y1; ++y)
        horizontalPass(k, lines.data() + (y - y0) * length, lo, lo + n, n, out.row(y));
}

Image gaussianBlur(const Image& in, double sigma) {
    if (in.isEmpty() || !(sigma > 0.0)) return in;
    sigma = std::min(sigma, GaussianBlurFilter::kMaxSigma);
    if (blursRecursively(sigma)) return recursiveGaussian(in, sigma, gaussianRadius(sigma));
    const FixedKernel k = fixedKernel(sigma);
    Image out = Image::forOverwrite(in.width(), in.height());
    forEachRowBlock(in.height(), [&](int y0, int y1) {
        const std::span<std::uint16_t> lines = threadScratch<std::uint16_t, 0>(kBandRows * lineLength(in, k));
        for (int y = y0; y < y1; y += kBandRows) blurBand(in, k, y, std::min(y + kBandRows, y1), lines, out);
    });
    return out;
}

// The blur's share in each pixel of row y for the circle-centred filters:
// smoothstep(inner, outer, d), or one minus it with `inside`, where d is the
// distance of the pixel's centre from the picture's centre in normalised
// units, with y scaled by height / width so that circles stay round.
struct Ring {
    float inner, outer;
    bool inside;
};

TINTREEL_VECTOR_KERNEL void ringWeights(const Ring& ring, int y, int w, int h, float* weight) {
    const float dy = ((y + 0.5f) / h - 0.5f) * h / w;
    for (int x = 0; x < w; ++x) {
        const float dx = (x + 0.5f) / w - 0.5f;
        weight[x] = std::sqrt(dx * dx + dy * dy);
    }
    for (int x = 0; x < w; ++x) weight[x] = smoothstep(ring.inner, ring.outer, weight[x]);
    if (ring.inside)
        for (int x = 0; x < w; ++x) weight[x] = 1.0f - weight[x];
}

// One row of mix(sharp, blurred, weight): the blurred pixels are asked for,
// from soft(a, b) (pixel a first), only over the runs of pixels whose weight
// is not zero; the others keep the sharp pixel, which is what the mix gives
// them anyway.
template <typename Soft>
void mixRow(const Image& in, int y, std::span<const float> weight, Soft soft, std::uint8_t* dst) {
    const int w = in.width();
    const std::uint8_t* s = in.row(y);
    std::memcpy(dst, s, in.stride());
    for (int a = 0; a < w;) {
        if (weight[a] == 0.0f) {
            ++a;
            continue;
        }
        int b = a;
        while (b < w && weight[b] != 0.0f) ++b;
        const std::uint8_t* blurred = soft(a, b);
        for (int x = a; x < b; ++x) {
            const Float4 sharp = loadTexel(s + x * 4), blur = loadTexel(blurred + (x - a) * 4);
            storeTexel(dst + x * 4, sharp + (blur - sharp) * weight[x]);
        }
        a = b;
    }
}

// mix(sharp, blurred with sigma, the ring's weight) per pixel, all four
// channels. The direct blur is computed only where the ring needs it; the
// recursive one (large sigmas) costs the same for the whole picture as for
// any part, so it blurs the whole picture once.
Image blurInRing(const Image& in, double sigma, const Ring& ring) {
    Image out = Image::forOverwrite(in.width(), in.height());
    const auto eachRow = [&](auto soft) {
        forEachRowBlock(in.height(), [&](int y0, int y1) {
            const std::span<float> weights = threadScratch<float, 2>(static_cast<std::size_t>(in.width()));
            for (int y = y0; y < y1; ++y) {
                ringWeights(ring, y, in.width(), in.height(), weights.data());
                const auto softInRow = [&](int a, int b) { return soft(y, a, b); };
                mixRow(in, y, weights, softInRow, out.row(y));
            }
        });
    };
    if (blursRecursively(sigma)) {
        const Image blurred = gaussianBlur(in, sigma);
        eachRow([&](int y, int a, int) { return blurred.row(y) + 4 * static_cast<std::size_t>(a); });
    } else {
        const FixedKernel k = fixedKernel(sigma);
        eachRow([&](int y, int a, int b) {
            const std::span<std::uint16_t> line = threadScratch<std::uint16_t, 0>(lineLength(in, k));
            const std::span<std::uint8_t> blurred = threadScratch<std::uint8_t, 3>(in.stride());
            blurSpan(in, k, y, a, b, line, blurred.data());
            return static_cast<const std::uint8_t*>(blurred.data());
        });
    }
    return out;
}

// A fixed set of integer offsets with weights, applied with edge clamping.
using Taps = std::vector<std::pair<std::pair<int, int>, float>>;

void convolveRow(const Image& in, const Taps& taps, int y, std::span<float> acc, std::uint8_t* dst) {
    const int w = in.width();
    std::fill(acc.begin(), acc.end(), 0.0f);
    for (const auto& [offset, wt] : taps) {
        const auto [dx, dy] = offset;
        const std::uint8_t* src = in.row(std::clamp(y + dy, 0, in.height() - 1));
        const int lo = std::clamp(-dx, 0, w);
        const int hi = std::clamp(w - dx, lo, w);
        for (int x = 0; x < lo; ++x)
            for (int c = 0; c < 4; ++c) acc[x * 4 + c] += wt * src[c];
        const std::uint8_t* shifted = src + 4 * static_cast<std::ptrdiff_t>(dx);
        for (std::size_t i = static_cast<std::size_t>(lo) * 4; i < static_cast<std::size_t>(hi) * 4; ++i)
            acc[i] += wt * shifted[i];
        for (int x = hi; x < w; ++x)
            for (int c = 0; c < 4; ++c) acc[x * 4 + c] += wt * src[(w - 1) * 4 + c];
    }
    for (std::size_t i = 0; i < acc.size(); ++i) dst[i] = roundLevel(acc[i]);
}

Image convolve(const Image& in, const Taps& taps) {
    Image out = Image::forOverwrite(in.width(), in.height());
    forEachRowBlock(in.height(), [&](int y0, int y1) {
        const std::span<float> acc = threadScratch<float, 0>(in.stride());
        for (int y = y0; y < y1; ++y) convolveRow(in, taps, y, acc, out.row(y));
    });
    return out;
}

// The nine samples of the motion blur all sit at the same sub-pixel offsets
// from their pixel, so their bilinear weights are the same everywhere and
// the blur is a fixed convolution over at most 36 integer offsets.
Taps motionTaps(double size, double degrees) {
    const double a = degrees * std::numbers::pi / 180.0;
    const double ux = std::cos(a) * size;
    const double uy = -std::sin(a) * size;  // rows grow downward
    std::map<std::pair<int, int>, float> merged;
    for (int k = -4; k <= 4; ++k) {
        const double sx = k * ux, sy = k * uy;
        const int x0 = static_cast<int>(std::floor(sx)), y0 = static_cast<int>(std::floor(sy));
        const float fx = static_cast<float>(sx - x0), fy = static_cast<float>(sy - y0);
        const float wk = kNineTapWeights[k + 4];
        merged[{x0, y0}] += wk * (1 - fx) * (1 - fy);
        merged[{x0 + 1, y0}] += wk * fx * (1 - fy);
        merged[{x0, y0 + 1}] += wk * (1 - fx) * fy;
        merged[{x0 + 1, y0 + 1}] += wk * fx * fy;
    }
    Taps taps;
    for (const auto& [offset, wt] : merged)
        if (wt > 0.0f) taps.emplace_back(offset, wt);
    return taps;
}

constexpr int kZoomTaps = 9;

struct ZoomGeometry {
    float cx, cy;  // the centre in pixel units
    float step;    // spacing of the samples as a fraction of the distance to the centre
};

// One output row of the zoom blur. Every pixel of the row takes its k-th
// sample from the same input row position, so the vertical half of that
// bilinear sample is done once per row (a blend of two input rows into
// `blended`, one padded row per tap) and only the horizontal half per pixel.
void zoomRow(const Image& in, const ZoomGeometry& g, int y, std::span<float> blended, std::uint8_t* dst) {
    const int w = in.width(), h = in.height();
    const std::size_t n = in.stride(), span = n + 4;
    for (int k = -4; k <= 4; ++k) {
        const float sy = std::clamp(y + k * ((g.cy - y) * g.step), 0.0f, h - 1.0f);
        const int r0 = static_cast<int>(sy);
        const float fy = sy - r0;
        const std::uint8_t* a = in.row(r0);
        const std::uint8_t* b = in.row(std::min(r0 + 1, h - 1));
        float* row = blended.data() + (k + 4) * span;
        for (std::size_t i = 0; i < n; ++i) row[i] = a[i] + (static_cast<float>(b[i]) - a[i]) * fy;
        std::copy(row + n - 4, row + n, row + n);  // the right neighbour of the last pixel
    }
    const float maxX = w - 1.0f;
    for (int x = 0; x < w; ++x, dst += 4) {
        const float vx = (g.cx - x) * g.step;
        Float4 sum{};
        for (int k = -4; k <= 4; ++k) {
            const float sx = std::clamp(x + k * vx, 0.0f, maxX);
            const int c0 = static_cast<int>(sx);
            const float* p = blended.data() + (k + 4) * span + static_cast<std::size_t>(c0) * 4;
            Float4 left, right;
            std::memcpy(&left, p, sizeof left);
            std::memcpy(&right, p + 4, sizeof right);
            sum += kNineTapWeights[k + 4] * (left + (right - left) * (sx - c0));
        }
        storeTexel(dst, sum);
    }
}

}  // namespace

void GaussianBlurFilter::setBlurRadiusInPixels(double sigma) {
    setFinite(sigma_, sigma);
}

Image GaussianBlurFilter::apply(const Image& input) const {
    if (isIdentity()) return input;
    return gaussianBlur(input, sigma_);
}

void GaussianBlurPositionFilter::setBlurSize(double size) {
    setFinite(size_, size);
}
void GaussianBlurPositionFilter::setBlurRadius(double radius) {
    setFinite(radius_, radius);
}

Image GaussianBlurPositionFilter::apply(const Image& input) const {
    if (isIdentity() || input.isEmpty()) return input;
    // A hard edge: smoothstep with equal edges is 0 inside and 1 from the radius on.
    const float radius = static_cast<float>(radius_);
    return blurInRing(input, size_, {radius, radius, true});
}

void GaussianSelectiveBlurFilter::setBlurRadiusInPixels(double sigma) {
    setFinite(sigma_, sigma);
}
void GaussianSelectiveBlurFilter::setExcludeCircleRadius(double radius) {
    setFinite(radius_, radius);
}
void GaussianSelectiveBlurFilter::setExcludeBlurSize(double size) {
    setFinite(edge_, size);
}

Image GaussianSelectiveBlurFilter::apply(const Image& input) const {
    if (isIdentity() || input.isEmpty()) return input;
    return blurInRing(input, sigma_,
                      {static_cast<float>(radius_ - edge_), static_cast<float>(radius_), false});
}

void MotionBlurFilter::setBlurSize(double pixels) {
    setFinite(size_, pixels);
}
void MotionBlurFilter::setBlurAngle(double degrees) {
    setFinite(angle_, degrees);
}

Image MotionBlurFilter::apply(const Image& input) const {
    if (isIdentity() || input.isEmpty()) return input;
    // Samples further apart than the picture all clamp to its edges; capping
    // the step there keeps the tap list small and changes nothing.
    const double size = std::min(size_, static_cast<double>(std::max(input.width(), input.height())));
    return convolve(input, motionTaps(size, angle_));
}

void ZoomBlurFilter::setBlurSize(double percent) {
    setFinite(size_, percent);
}

Image ZoomBlurFilter::apply(const Image& input) const {
    if (isIdentity() || input.isEmpty()) return input;
    const ZoomGeometry g{input.width() * 0.5f - 0.5f, input.height() * 0.5f - 0.5f,
                         static_cast<float>(size_ / 100.0)};
    Image out = Image::forOverwrite(input.width(), input.height());
    forEachRowBlock(input.height(), [&](int y0, int y1) {
        const std::span<float> blended = threadScratch<float, 0>(kZoomTaps * (input.stride() + 4));
        for (int y = y0; y < y1; ++y) zoomRow(input, g, y, blended, out.row(y));
    });
    return out;
}

}  // namespace tintreel
