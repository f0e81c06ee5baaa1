#include "platform/filters/DistortionFilters.h"

#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"

namespace tintreel {

namespace {

using Matrix3 = std::array<double, 9>;

// The geometric filters work in two passes over a run of output pixels:
// first where each pixel takes its sample from, a loop of pure arithmetic
// that the compiler vectorises (its parameters come by value, so that no
// store through the output pointers can alias them), then the bilinear
// samples themselves. A
// pixel whose x coordinate is kNoSample is left as the output has it.
constexpr float kNoSample = std::numeric_limits<float>::quiet_NaN();

// Per-thread coordinates (and highlights) of one run of pixels.
struct SampleRun {
    float* xs;
    float* ys;
    float* lift;
    explicit SampleRun(int count)
        : xs(threadScratch<float, 0>(static_cast<std::size_t>(count)).data()),
          ys(threadScratch<float, 1>(static_cast<std::size_t>(count)).data()),
          lift(threadScratch<float, 2>(static_cast<std::size_t>(count)).data()) {}
};

// The samples of the first `count` pixels of the run into dst, each
// brightened by its highlight when `lifted`.
void sampleRun(const Image& in, const SampleRun& run, int count, std::uint8_t* dst, bool lifted = false) {
    for (int i = 0; i < count; ++i, dst += 4) {
        if (std::isnan(run.xs[i])) continue;
        const Float4 t = sampleBilinear(in, run.xs[i], run.ys[i]);
        const float l = lifted ? run.lift[i] : 0.0f;
        storeTexel(dst, t + Float4{l, l, l, 0.0f});
    }
}

// Since every corner has z = 0, the quad's projection is the plane
// homography [x y 1] * H with H built from columns 1, 2, 4 and rows 1, 2, 4.
Matrix3 planeHomography(const Transform3D& t) {
    return {t.at(1, 1), t.at(1, 2), t.at(1, 4), t.at(2, 1), t.at(2, 2),
            t.at(2, 4), t.at(4, 1), t.at(4, 2), t.at(4, 4)};
}

// The inverse, or nothing when the matrix is singular or not finite.
std::optional<Matrix3> inverted(const Matrix3& m) {
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (!std::isfinite(det) || std::abs(det) < 1e-12) return std::nullopt;
    Matrix3 inv = {(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det,
                   (m[1] * m[5] - m[2] * m[4]) / det, (m[5] * m[6] - m[3] * m[8]) / det,
                   (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
                   (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det,
                   (m[0] * m[4] - m[1] * m[3]) / det};
    for (double v : inv)
        if (!std::isfinite(v)) return std::nullopt;
    return inv;
}

// Output pixel -> point of the picture's plane -> input pixel. Along a row
// the homogeneous source coordinates (u q, v q, q) are linear in the output
// column, so each row starts from its first pixel and adds a fixed step: one
// division per pixel instead of a matrix product and three.
struct RowMapping {
    double u, v, q;     // at column 0
    double du, dv, dq;  // per column
};

RowMapping rowMapping(const Image& in, const Matrix3& inv, int py) {
    const double unit = in.width() / 2.0, aspect = static_cast<double>(in.height()) / in.width();
    const double sy = aspect - (py + 0.5) / unit;
    // Plane point (x, y) -> input pixel ((x + 1) unit - 0.5, (aspect - y) unit - 0.5), scaled by q.
    auto homogeneous = [&](double sx, double sy2) {
        const double q = sx * inv[2] + sy2 * inv[5] + inv[8];
        const double x = sx * inv[0] + sy2 * inv[3] + inv[6];
        const double y = sx * inv[1] + sy2 * inv[4] + inv[7];
        return std::array<double, 3>{(x + q) * unit - 0.5 * q, (aspect * q - y) * unit - 0.5 * q, q};
    };
    const auto first = homogeneous(0.5 / unit - 1.0, sy);
    const auto next = homogeneous(1.5 / unit - 1.0, sy);
    return {first[0], first[1], first[2], next[0] - first[0], next[1] - first[1], next[2] - first[2]};
}

// Where each pixel of columns [x0, x1) of a row takes its sample from.
TINTREEL_VECTOR_KERNEL void transformCoordinates(RowMapping m, double maxU, double maxV, int x0, int x1,
                                                 float* xs, float* ys) {
    for (int px = x0; px < x1; ++px) {
        const double q = m.q + px * m.dq;
        const double u = (m.u + px * m.du) / q, v = (m.v + px * m.dv) / q;
        // q = 1 / w of the source point: a point behind the eye (w <= 0) is not drawn.
        const bool covered = (q > 0.0) & (u >= -0.5) & (u <= maxU) & (v >= -0.5) & (v <= maxV);
        xs[px - x0] = covered ? static_cast<float>(u) : kNoSample;
        ys[px - x0] = static_cast<float>(v);
    }
}

}  // namespace

Image TransformFilter::apply(const Image& input) const {
    if (isIdentity() || input.isEmpty()) return input;
    Image out(input.width(), input.height());
    const std::optional<Matrix3> inv = inverted(planeHomography(transform_));
    if (!inv) return out;
    const double maxU = input.width() - 0.5, maxV = input.height() - 0.5;
    forEachRowBlock(input.height(), [&](int y0, int y1) {
        const SampleRun run(input.width());
        forEachTile(y0, y1, input.width(), [&](int y, int x0, int x1) {
            transformCoordinates(rowMapping(input, *inv, y), maxU, maxV, x0, x1, run.xs, run.ys);
            sampleRun(input, run, x1 - x0, out.pixel(x0, y));
        });
    });
    return out;
}

namespace {

struct SwirlShape {
    float radius, angle;
    int w, h;
};

// Where each pixel of columns [x0, x1) of row y takes its sample from: the
// point turned about the centre; pixels outside the radius keep their own.
TINTREEL_VECTOR_KERNEL void swirlCoordinates(SwirlShape g, int y, int x0, int x1, float* xs, float* ys) {
    const float dy = (y + 0.5f) / g.h - 0.5f;
    for (int x = x0; x < x1; ++x) {
        const float dx = (x + 0.5f) / g.w - 0.5f;
        const float d = std::sqrt(dx * dx + dy * dy);
        const float fall = (g.radius - d) / g.radius;
        const SinCos turn = sinCos(8.0f * g.angle * fall * fall);
        const float tx = dx * turn.cos - dy * turn.sin + 0.5f, ty = dx * turn.sin + dy * turn.cos + 0.5f;
        xs[x - x0] = d < g.radius ? tx * g.w - 0.5f : kNoSample;
        ys[x - x0] = ty * g.h - 0.5f;
    }
}

}  // namespace

void SwirlFilter::setRadius(double radius) {
    setFinite(radius_, radius);
}
void SwirlFilter::setAngle(double angle) {
    setFinite(angle_, angle);
}

Image SwirlFilter::apply(const Image& input) const {
    if (isIdentity() || input.isEmpty()) return input;
    const int w = input.width(), h = input.height();
    Image out = input;
    const SwirlShape shape{static_cast<float>(radius_), static_cast<float>(angle_), w, h};
    forEachRowBlock(h, [&](int y0, int y1) {
        const SampleRun run(input.width());
        forEachTile(y0, y1, w, [&](int y, int x0, int x1) {
            swirlCoordinates(shape, y, x0, x1, run.xs, run.ys);
            sampleRun(input, run, x1 - x0, out.pixel(x0, y));
        });
    });
    return out;
}

void GlassSphereFilter::setRadius(double radius) {
    setFinite(radius_, radius);
}
void GlassSphereFilter::setRefractiveIndex(double index) {
    setFinite(index_, index);
}

namespace {

// Where the view ray through ball point (nx, ny) (y up, in radii) meets the
// picture, as an offset from the centre in half widths, and the highlight.
struct Refraction {
    float dx, dy, highlight;
};

inline Refraction refractThroughBall(float nx, float ny, float eta) {
    const float nz = std::sqrt(std::max(0.0f, 1.0f - nx * nx - ny * ny));
    // Incident ray (0, 0, -1); the refracted ray by Snell's law with ratio eta.
    const float cosi = -nz;
    const float k = 1.0f - eta * eta * (1.0f - cosi * cosi);
    const float along = k < 0.0f ? 0.0f : -(eta * cosi + std::sqrt(k));
    // A soft light from the upper left.
    constexpr float lx = -0.4f, ly = 0.4f, lz = 0.8246211f;
    const float light = std::max(0.0f, nx * lx + ny * ly + nz * lz);
    // light^24 by squaring: the library's pow costs more than the rest of the pixel.
    const float l2 = light * light, l4 = l2 * l2, l8 = l4 * l4;
    return {along * nx, along * ny, 0.35f * l8 * l8 * l8};
}

struct GlassShape {
    float radius, eta, aspect;
    int w, h;
};

// Where each pixel of row y takes its sample from, and its highlight; pixels
// outside the ball take none.
TINTREEL_VECTOR_KERNEL void glassCoordinates(GlassShape g, int y, float* xs, float* ys, float* lift) {
    const float dy = ((y + 0.5f) / g.h - 0.5f) * g.aspect;
    for (int x = 0; x < g.w; ++x) {
        const float dx = (x + 0.5f) / g.w - 0.5f;
        const Refraction r = refractThroughBall(dx / g.radius, -dy / g.radius, g.eta);
        // Offsets are in half widths; rows run downward.
        xs[x] = dx * dx + dy * dy < g.radius * g.radius ? (0.5f + 0.5f * r.dx) * g.w - 0.5f : kNoSample;
        ys[x] = (0.5f - 0.5f * r.dy / g.aspect) * g.h - 0.5f;
        lift[x] = 255.0f * r.highlight;
    }
}

}  // namespace

Image GlassSphereFilter::apply(const Image& input) const {
    const int w = input.width(), h = input.height();
    const float radius = static_cast<float>(radius_), eta = static_cast<float>(index_);
    const float aspect = static_cast<float>(h) / std::max(w, 1);
    Image out(w, h);  // what the ball does not cover stays transparent black
    if (!(radius > 0.0f)) return out;
    const GlassShape shape{radius, eta, aspect, w, h};
    forEachRowBlock(h, [&](int y0, int y1) {
        const SampleRun run(input.width());
        for (int y = y0; y < y1; ++y) {
            glassCoordinates(shape, y, run.xs, run.ys, run.lift);
            sampleRun(input, run, w, out.row(y), true);
        }
    });
    return out;
}

}  // namespace tintreel
