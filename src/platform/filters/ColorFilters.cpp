#include "platform/filters/ColorFilters.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>

#include "platform/filters/PixelMath.h"
#include "platform/filters/PixelWords.h"

namespace tintreel {

namespace {

using Lut = std::array<std::uint8_t, 256>;

// Per-channel adjustments depend on one channel value only, so they are
// tabulated once per call: 256 evaluations instead of one per pixel.
template <typename F>
Lut makeLut(F f) {
    Lut lut{};
    for (int i = 0; i < 256; ++i) lut[i] = unitToByte(static_cast<float>(f(i / 255.0)));
    return lut;
}

// Most tables follow a line (brightness, contrast, exposure, gains): such a
// table is applied as clamp((scale * level + offset) >> 16) in integer lanes
// the compiler vectorises, which a byte lookup cannot be. The scale and
// offset are fitted to the table and checked against all of its entries, so
// the picture is the table's, byte for byte; a table that no such pair fits
// is looked up as it is.
struct Affine {
    std::int32_t scale, offset;
};

// Scales stay below 2^22 and offsets below 2^30 in size, so no sum overflows.
constexpr double kMaxSlope = 63.0;
constexpr std::int64_t kMaxOffset = std::int64_t{1} << 30;

// An offset that fits every entry for this scale, if there is one.
std::optional<std::int32_t> fitOffset(const Lut& lut, std::int64_t scale) {
    std::int64_t lo = -kMaxOffset, hi = kMaxOffset;
    for (std::int64_t i = 0; i < 256; ++i) {
        // floor((scale i + offset) / 2^16) must be the entry, or beyond it where the entry is clamped.
        if (lut[i] > 0) lo = std::max(lo, lut[i] * 65536 - scale * i);
        if (lut[i] < 255) hi = std::min(hi, (lut[i] + 1) * 65536 - 1 - scale * i);
    }
    if (lo > hi) return std::nullopt;
    return static_cast<std::int32_t>(lo);
}

std::optional<Affine> fitAffine(const Lut& lut, double slope) {
    if (!(std::abs(slope) <= kMaxSlope)) return std::nullopt;
    const std::int64_t guess = std::llround(slope * 65536.0);
    for (std::int64_t scale = guess - 2; scale <= guess + 2; ++scale)
        if (const auto offset = fitOffset(lut, scale))
            return Affine{static_cast<std::int32_t>(scale), *offset};
    return std::nullopt;
}

// A channel's table and the slope of the line it follows, in levels out per
// level in (NaN when it follows none).
struct ChannelTable {
    Lut lut;
    double slope;
};

template <typename F>
ChannelTable linearTable(F f, double slope) {
    return {makeLut(f), slope};
}

using Lanes = std::array<std::int32_t, 3>;  // r, g, b

// One row; the lanes come by value so that no store to the row can alias them.
TINTREEL_VECTOR_KERNEL void affineRow(Lanes scale, Lanes offset, const std::uint8_t* s, std::uint8_t* d,
                                      int width) {
    words::forEachRun(s, d, width, [&](words::Words& pixels, int) {
        words::Ints out[3];
        for (int c = 0; c < 3; ++c) {
            const words::Ints v = (words::channel(pixels, c) * scale[c] + offset[c]) >> 16;
            out[c] = v > 0 ? (v < 255 ? v : 255) : 0;
        }
        pixels = words::withColours(out[0], out[1], out[2], pixels);
    });
}

void lookUpRow(const Lut& red, const Lut& green, const Lut& blue, const std::uint8_t* s, std::uint8_t* d,
               int width) {
    for (int x = 0; x < width; ++x, s += 4, d += 4) {
        d[0] = red[s[0]];
        d[1] = green[s[1]];
        d[2] = blue[s[2]];
        d[3] = s[3];
    }
}

PixelKernel tablesKernel(const ChannelTable& red, const ChannelTable& green, const ChannelTable& blue) {
    const auto r = fitAffine(red.lut, red.slope), g = fitAffine(green.lut, green.slope),
               b = fitAffine(blue.lut, blue.slope);
    if (r && g && b) {
        const Lanes scale{r->scale, g->scale, b->scale}, offset{r->offset, g->offset, b->offset};
        return [scale, offset](const std::uint8_t* s, std::uint8_t* d, int width, RowPlace) {
            affineRow(scale, offset, s, d, width);
        };
    }
    return [red = red.lut, green = green.lut, blue = blue.lut](const std::uint8_t* s, std::uint8_t* d,
                                                               int width, RowPlace) {
        lookUpRow(red, green, blue, s, d, width);
    };
}

PixelKernel tableKernel(const ChannelTable& table) {
    return tablesKernel(table, table, table);
}

// out.rgb = M * in.rgb, row by row; linear without offset, so it works on
// levels 0 ... 255 directly.
using ColorMatrix = std::array<double, 9>;
using FloatMatrix = std::array<float, 9>;

// One row; the matrix comes by value so that no store to the row can alias it.
TINTREEL_VECTOR_KERNEL void matrixRow(FloatMatrix f, const std::uint8_t* s, std::uint8_t* d, int width) {
    words::forEachRun(s, d, width, [&](words::Words& pixels, int) {
        const words::Floats r = words::levels(pixels, 0), g = words::levels(pixels, 1),
                            b = words::levels(pixels, 2);
        pixels = words::withColours(words::roundedLevels(f[0] * r + f[1] * g + f[2] * b),
                                    words::roundedLevels(f[3] * r + f[4] * g + f[5] * b),
                                    words::roundedLevels(f[6] * r + f[7] * g + f[8] * b), pixels);
    });
}

PixelKernel matrixKernel(const ColorMatrix& m) {
    FloatMatrix f{};
    for (std::size_t i = 0; i < 9; ++i) f[i] = static_cast<float>(m[i]);
    return [f](const std::uint8_t* s, std::uint8_t* d, int width, RowPlace) { matrixRow(f, s, d, width); };
}

ColorMatrix multiply(const ColorMatrix& a, const ColorMatrix& b) {
    ColorMatrix p{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k) p[r * 3 + c] += a[r * 3 + k] * b[k * 3 + c];
    return p;
}

ColorMatrix mix(const ColorMatrix& a, const ColorMatrix& b, double t) {
    ColorMatrix m{};
    for (std::size_t i = 0; i < 9; ++i) m[i] = a[i] + (b[i] - a[i]) * t;
    return m;
}

constexpr ColorMatrix kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};
constexpr ColorMatrix kLuma{kLumaRed,  kLumaGreen, kLumaBlue,  kLumaRed, kLumaGreen,
                            kLumaBlue, kLumaRed,   kLumaGreen, kLumaBlue};
constexpr ColorMatrix kSepiaTone{0.393, 0.769, 0.189, 0.349, 0.686, 0.168, 0.272, 0.534, 0.131};
constexpr ColorMatrix kRgbToYiq{0.299, 0.587, 0.114, 0.596, -0.274, -0.322, 0.211, -0.523, 0.312};

ColorMatrix inverse(const ColorMatrix& m) {
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    return {(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det,
            (m[1] * m[5] - m[2] * m[4]) / det, (m[5] * m[6] - m[3] * m[8]) / det,
            (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
            (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det,
            (m[0] * m[4] - m[1] * m[3]) / det};
}

}  // namespace

void BrightnessFilter::setBrightness(double brightness) {
    setFinite(brightness_, brightness);
}

PixelKernel BrightnessFilter::kernel() const {
    return tableKernel(linearTable([b = brightness_](double v) { return v + b; }, 1.0));
}

void ExposureFilter::setExposure(double exposure) {
    setFinite(exposure_, exposure);
}

PixelKernel ExposureFilter::kernel() const {
    const double gain = std::exp2(exposure_);
    return tableKernel(linearTable([gain](double v) { return v * gain; }, gain));
}

void ContrastFilter::setContrast(double contrast) {
    setFinite(contrast_, contrast);
}

PixelKernel ContrastFilter::kernel() const {
    return tableKernel(linearTable([c = contrast_](double v) { return (v - 0.5) * c + 0.5; }, contrast_));
}

void SaturationFilter::setSaturation(double saturation) {
    setFinite(saturation_, saturation);
}

PixelKernel SaturationFilter::kernel() const {
    return matrixKernel(mix(kLuma, kIdentity, saturation_));
}

void GammaFilter::setGamma(double gamma) {
    setFinite(gamma_, gamma);
}

PixelKernel GammaFilter::kernel() const {
    const auto power = [g = gamma_](double v) { return std::pow(v, g); };
    return tableKernel({makeLut(power), std::numeric_limits<double>::quiet_NaN()});
}

void HueFilter::setHue(double degrees) {
    setFinite(hue_, degrees);
}

PixelKernel HueFilter::kernel() const {
    const double a = hue_ * std::numbers::pi / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    const ColorMatrix turn{1, 0, 0, 0, c, s, 0, -s, c};  // positive turns red toward yellow and green
    return matrixKernel(multiply(inverse(kRgbToYiq), multiply(turn, kRgbToYiq)));
}

void RGBFilter::setRed(double gain) {
    setFinite(red_, gain);
}
void RGBFilter::setGreen(double gain) {
    setFinite(green_, gain);
}
void RGBFilter::setBlue(double gain) {
    setFinite(blue_, gain);
}

PixelKernel RGBFilter::kernel() const {
    auto gain = [](double g) { return linearTable([g](double v) { return v * g; }, g); };
    return tablesKernel(gain(red_), gain(green_), gain(blue_));
}

PixelKernel GrayscaleFilter::kernel() const {
    return matrixKernel(kLuma);
}

void SepiaFilter::setIntensity(double intensity) {
    setFinite(intensity_, intensity);
}

PixelKernel SepiaFilter::kernel() const {
    return matrixKernel(mix(kIdentity, kSepiaTone, intensity_));
}

}  // namespace tintreel
