#include "platform/filters/DistortionFilters.h"

#include <array>
#include <cmath>
#include <optional>

#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"

namespace tintreel {

namespace {

using Matrix3 = std::array<double, 9>;

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

void transformRow(const Image& in, const Matrix3& inv, int py, std::uint8_t* dst) {
    const RowMapping m = rowMapping(in, inv, py);
    const double maxU = in.width() - 0.5, maxV = in.height() - 0.5;
    for (int px = 0; px < in.width(); ++px, dst += 4) {
        const double q = m.q + px * m.dq;
        // q = 1 / w of the source point: a point behind the eye (w <= 0) is not drawn.
        if (!(q > 0.0)) continue;
        const double u = (m.u + px * m.du) / q, v = (m.v + px * m.dv) / q;
        if (!(u >= -0.5 && u <= maxU && v >= -0.5 && v <= maxV)) continue;
        storeTexel(dst, sampleBilinear(in, static_cast<float>(u), static_cast<float>(v)));
    }
}

}  // namespace

Image TransformFilter::apply(const Image& input) const {
    if (isIdentity() || input.isEmpty()) return input;
    Image out(input.width(), input.height());
    const std::optional<Matrix3> inv = inverted(planeHomography(transform_));
    if (!inv) return out;
    forEachRowBlock(input.height(), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) transformRow(input, *inv, y, out.row(y));
    });
    return out;
}

void SwirlFilter::setRadius(double radius) {
    setFinite(radius_, radius);
}
void SwirlFilter::setAngle(double angle) {
    setFinite(angle_, angle);
}

Image SwirlFilter::apply(const Image& input) const {
    if (isIdentity() || input.isEmpty()) return input;
    const int w = input.width(), h = input.height();
    const float radius = static_cast<float>(radius_), angle = static_cast<float>(angle_);
    Image out = input;
    forEachRowBlock(h, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const float dy = (y + 0.5f) / h - 0.5f;
            for (int x = 0; x < w; ++x) {
                const float dx = (x + 0.5f) / w - 0.5f;
                const float d = std::sqrt(dx * dx + dy * dy);
                if (d >= radius) continue;
                const float fall = (radius - d) / radius;
                const float turn = 8.0f * angle * fall * fall;
                const float c = std::cos(turn), s = std::sin(turn);
                const float tx = dx * c - dy * s + 0.5f, ty = dx * s + dy * c + 0.5f;
                storeTexel(out.pixel(x, y), sampleBilinear(input, tx * w - 0.5f, ty * h - 0.5f));
            }
        }
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

Refraction refractThroughBall(float nx, float ny, float eta) {
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

}  // namespace

Image GlassSphereFilter::apply(const Image& input) const {
    const int w = input.width(), h = input.height();
    const float radius = static_cast<float>(radius_), eta = static_cast<float>(index_);
    const float aspect = static_cast<float>(h) / std::max(w, 1);
    Image out(w, h);
    if (!(radius > 0.0f)) return out;
    forEachRowBlock(h, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const float dy = ((y + 0.5f) / h - 0.5f) * aspect;
            for (int x = 0; x < w; ++x) {
                const float dx = (x + 0.5f) / w - 0.5f;
                if (dx * dx + dy * dy >= radius * radius) continue;
                const Refraction r = refractThroughBall(dx / radius, -dy / radius, eta);
                // Offsets are in half widths; rows run downward.
                const Float4 t = sampleBilinear(input, (0.5f + 0.5f * r.dx) * w - 0.5f,
                                                (0.5f - 0.5f * r.dy / aspect) * h - 0.5f);
                const float lift = 255.0f * r.highlight;
                storeTexel(out.pixel(x, y), t + Float4{lift, lift, lift, 0.0f});
            }
        }
    });
    return out;
}

}  // namespace tintreel
