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

namespace tintreel {

namespace {

// Weights for offsets 0 ... r of a Gaussian with the given sigma, cut at
// three sigmas and normalised so that the full symmetric kernel sums to 1.
std::vector<float> halfGaussian(double sigma) {
    const int r = std::max(1, static_cast<int>(std::ceil(sigma * 3.0)));
    std::vector<double> w(static_cast<std::size_t>(r) + 1);
    double sum = 0.0;
    for (int i = 0; i <= r; ++i) {
        w[i] = std::exp(-0.5 * i * i / (sigma * sigma));
        sum += i == 0 ? w[i] : 2.0 * w[i];
    }
    std::vector<float> k;
    for (double v : w) k.push_back(static_cast<float>(v / sum));
    return k;
}

std::uint8_t roundLevel(float v) {
    return static_cast<std::uint8_t>(std::min(v + 0.5f, 255.0f));
}

// One output row of the separable blur: the vertical pass into `line`
// (padded by r edge pixels on both sides), then the horizontal pass.
void blurRow(const Image& in, const std::vector<float>& k, int y, std::vector<float>& line,
             std::vector<float>& sum, std::uint8_t* dst) {
    const int r = static_cast<int>(k.size()) - 1;
    const std::size_t n = in.stride();
    const std::size_t pad = static_cast<std::size_t>(r) * 4;
    float* acc = line.data() + pad;
    const std::uint8_t* centre = in.row(y);
    for (std::size_t i = 0; i < n; ++i) acc[i] = k[0] * centre[i];
    for (int t = 1; t <= r; ++t) {
        const std::uint8_t* a = in.row(std::max(y - t, 0));
        const std::uint8_t* b = in.row(std::min(y + t, in.height() - 1));
        const float wt = k[t];
        for (std::size_t i = 0; i < n; ++i) acc[i] += wt * (static_cast<float>(a[i]) + b[i]);
    }
    for (std::size_t p = 0; p < pad; ++p) {
        line[p] = acc[p % 4];
        acc[n + p] = acc[n - 4 + p % 4];
    }
    for (std::size_t i = 0; i < n; ++i) sum[i] = k[0] * acc[i];
    for (int t = 1; t <= r; ++t) {
        const float wt = k[t];
        const float* left = acc - 4 * t;
        const float* right = acc + 4 * t;
        for (std::size_t i = 0; i < n; ++i) sum[i] += wt * (left[i] + right[i]);
    }
    for (std::size_t i = 0; i < n; ++i) dst[i] = roundLevel(sum[i]);
}

Image gaussianBlur(const Image& in, double sigma) {
    if (in.isEmpty() || !(sigma > 0.0)) return in;
    const std::vector<float> k = halfGaussian(std::min(sigma, GaussianBlurFilter::kMaxSigma));
    const std::size_t pad = (k.size() - 1) * 4;
    Image out(in.width(), in.height());
    forEachRowBlock(in.height(), [&](int y0, int y1) {
        std::vector<float> line(in.stride() + 2 * pad);
        std::vector<float> sum(in.stride());
        for (int y = y0; y < y1; ++y) blurRow(in, k, y, line, sum, out.row(y));
    });
    return out;
}

// Distance of pixel (x, y)'s centre from the picture's centre in normalised
// units, with y scaled by height / width so that circles stay round.
float aspectDistance(int x, int y, int w, int h) {
    const float dx = (x + 0.5f) / w - 0.5f;
    const float dy = ((y + 0.5f) / h - 0.5f) * h / w;
    return std::sqrt(dx * dx + dy * dy);
}

// mix(sharp, blurred, weight(x, y)) per pixel, all four channels.
template <typename Weight>
Image mixByWeight(const Image& sharp, const Image& blurred, Weight weight) {
    Image out(sharp.width(), sharp.height());
    forEachRowBlock(sharp.height(), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* s = sharp.row(y);
            const std::uint8_t* b = blurred.row(y);
            std::uint8_t* d = out.row(y);
            for (int x = 0; x < sharp.width(); ++x, s += 4, b += 4, d += 4) {
                const float t = weight(x, y);
                for (int c = 0; c < 4; ++c) d[c] = roundLevel(s[c] + (b[c] - s[c]) * t);
            }
        }
    });
    return out;
}

// A fixed set of integer offsets with weights, applied with edge clamping.
using Taps = std::vector<std::pair<std::pair<int, int>, float>>;

void convolveRow(const Image& in, const Taps& taps, int y, std::vector<float>& acc, std::uint8_t* dst) {
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
    Image out(in.width(), in.height());
    forEachRowBlock(in.height(), [&](int y0, int y1) {
        std::vector<float> acc(in.stride());
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
void zoomRow(const Image& in, const ZoomGeometry& g, int y, std::vector<float>& blended, std::uint8_t* dst) {
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
    const Image blurred = gaussianBlur(input, size_);
    const int w = input.width(), h = input.height();
    const float radius = static_cast<float>(radius_);
    return mixByWeight(input, blurred,
                       [=](int x, int y) { return aspectDistance(x, y, w, h) < radius ? 1.0f : 0.0f; });
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
    const Image blurred = gaussianBlur(input, sigma_);
    const int w = input.width(), h = input.height();
    const float inner = static_cast<float>(radius_ - edge_), outer = static_cast<float>(radius_);
    return mixByWeight(input, blurred,
                       [=](int x, int y) { return smoothstep(inner, outer, aspectDistance(x, y, w, h)); });
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
        std::vector<float> blended(kZoomTaps * (input.stride() + 4));
        for (int y = y0; y < y1; ++y) zoomRow(input, g, y, blended, out.row(y));
    });
    return out;
}

}  // namespace tintreel
