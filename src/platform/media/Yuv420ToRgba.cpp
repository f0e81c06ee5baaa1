#include "platform/media/Yuv420ToRgba.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"
#include "platform/filters/PixelWords.h"

namespace tintreel::media {

namespace {

using words::Floats;
using Bytes8 = std::uint8_t __attribute__((vector_size(8)));

// The library's bicubic (B = 0, C = 0.6: Keys' cubic with a = -0.6) at a
// distance of d samples.
constexpr double kCubicA = -0.6;
constexpr float cubic(double d) {
    const double a = kCubicA;
    return static_cast<float>(d < 1.0 ? ((a + 2.0) * d - (a + 3.0)) * d * d + 1.0
                                      : ((a * d - 5.0 * a) * d + 8.0 * a) * d - 4.0 * a);
}

// Chroma sample j lies halfway between pixels 2j and 2j + 1, down and
// across, so pixel 2j sits a quarter of a sample before sample j and pixel
// 2j + 1 a quarter after: the weights of samples j - 2 ... j + 1 and of
// samples j - 1 ... j + 2.
constexpr std::array<float, 4> kEvenWeights{cubic(1.75), cubic(0.75), cubic(0.25), cubic(1.25)};
constexpr std::array<float, 4> kOddWeights{cubic(1.25), cubic(0.25), cubic(0.75), cubic(1.75)};

// The four chroma rows of each plane that make one picture row's chroma.
struct ChromaRows {
    std::array<const std::uint8_t*, 4> u, v;
    std::array<float, 4> weight;
};

constexpr int kPixelsAtOnce = 2 * words::kLanes;  // a chroma sample for every two pixels
// A row's chroma, interpolated down, is kept with this many samples before
// it and kLanes + this many after it repeating its edge samples, so that
// every read across it stays inside.
constexpr int kEdge = 2;

// One chroma plane's row for a picture row: interpolated down from its four
// rows and less 128, with its edges repeated. A plain loop the compiler vectorises.
[[gnu::always_inline]] inline void chromaDown(const std::array<const std::uint8_t*, 4>& rows,
                                              const std::array<float, 4>& weight, int samples, float* out) {
    for (int i = 0; i < samples; ++i) {
        float sum = -128.0f;
        for (std::size_t k = 0; k < rows.size(); ++k) sum += weight[k] * rows[k][i];
        out[i] = sum;
    }
    std::fill(out - kEdge, out, out[0]);
    std::fill(out + samples, out + samples + words::kLanes + kEdge, out[samples - 1]);
}

// The chroma of the sixteen pixels whose samples start at `row`,
// interpolated across: the first eight pixels' and the last eight's.
[[gnu::always_inline]] inline void chromaAcross(const float* row, Floats& first, Floats& last) {
    const auto tap = [row](int k) {
        Floats samples;
        std::memcpy(&samples, row + k - kEdge, sizeof samples);
        return samples;
    };
    const Floats even = kEvenWeights[0] * tap(0) + kEvenWeights[1] * tap(1) + kEvenWeights[2] * tap(2) +
                        kEvenWeights[3] * tap(3);
    const Floats odd =
        kOddWeights[0] * tap(1) + kOddWeights[1] * tap(2) + kOddWeights[2] * tap(3) + kOddWeights[3] * tap(4);
    first = __builtin_shufflevector(even, odd, 0, 8, 1, 9, 2, 10, 3, 11);
    last = __builtin_shufflevector(even, odd, 4, 12, 5, 13, 6, 14, 7, 15);
}

[[gnu::always_inline]] inline void loadLevels(Floats& out, const std::uint8_t* bytes) {
    Bytes8 b;
    std::memcpy(&b, bytes, sizeof b);
    out = __builtin_convertvector(b, Floats);
}

// Levels rounded to the nearest and clamped to 0 ... 255.
[[gnu::always_inline]] inline words::Ints rounded(Floats v) {
    v += 0.5f;
    v = v > 0.0f ? v : 0.0f;
    v = v < 255.0f ? v : 255.0f;
    return __builtin_convertvector(v, words::Ints);
}

// Sixteen pixels from the luma at `luma` and the chroma rows at `u` and `v`.
[[gnu::always_inline]] inline void sixteenPixels(const YuvToRgb& m, const std::uint8_t* luma, const float* u,
                                                 const float* v, std::uint8_t* dst) {
    Floats us[2], vs[2];
    chromaAcross(u, us[0], us[1]);
    chromaAcross(v, vs[0], vs[1]);
    const words::Words opaque = words::Words{} + Image::kAlphaBits;
    for (int half = 0; half < 2; ++half) {
        Floats y;
        loadLevels(y, luma + words::kLanes * half);
        y = (y - m.lumaOffset) * m.luma;
        const words::Words pixels = words::withColours(rounded(y + m.redV * vs[half]),
                                                       rounded(y + m.greenU * us[half] + m.greenV * vs[half]),
                                                       rounded(y + m.blueU * us[half]), opaque);
        std::memcpy(dst + sizeof pixels * half, &pixels, sizeof pixels);
    }
}

// One picture row of `width` pixels into dst, through `u` and `v` (each
// room for the row's chroma samples and the edges). The last pixels past a
// whole sixteen go through a zeroed copy of their luma.
TINTREEL_FMA_KERNEL void convertRow(YuvToRgb m, const std::uint8_t* luma, const ChromaRows& chroma, int width,
                                    float* u, float* v, std::uint8_t* dst) {
    const int samples = (width + 1) / 2;
    chromaDown(chroma.u, chroma.weight, samples, u + kEdge);
    chromaDown(chroma.v, chroma.weight, samples, v + kEdge);
    u += kEdge, v += kEdge;
    int x = 0;
    for (; x + kPixelsAtOnce <= width; x += kPixelsAtOnce)
        sixteenPixels(m, luma + x, u + x / 2, v + x / 2,
                      dst + static_cast<std::size_t>(x) * Image::kChannels);
    if (x == width) return;
    const auto pixels = static_cast<std::size_t>(width - x);
    std::uint8_t lumaLeft[kPixelsAtOnce] = {};
    std::uint8_t out[kPixelsAtOnce * Image::kChannels];
    std::memcpy(lumaLeft, luma + x, pixels);
    sixteenPixels(m, lumaLeft, u + x / 2, v + x / 2, out);
    std::memcpy(dst + static_cast<std::size_t>(x) * Image::kChannels, out, pixels * Image::kChannels);
}

const std::uint8_t* planeRow(const AVFrame& frame, int plane, int y) {
    return frame.data[plane] + static_cast<std::ptrdiff_t>(y) * frame.linesize[plane];
}

ChromaRows chromaRowsOf(const AVFrame& frame, int y) {
    const int chromaHeight = (frame.height + 1) / 2, j = y / 2;
    const bool odd = y % 2 != 0;
    ChromaRows rows{{}, {}, odd ? kOddWeights : kEvenWeights};
    for (int k = 0; k < 4; ++k) {
        const int row = std::clamp(j + k - (odd ? 1 : 2), 0, chromaHeight - 1);
        rows.u[k] = planeRow(frame, 1, row);
        rows.v[k] = planeRow(frame, 2, row);
    }
    return rows;
}

}  // namespace

bool isYuv420(const AVFrame& frame) {
    return (frame.format == AV_PIX_FMT_YUV420P || frame.format == AV_PIX_FMT_YUVJ420P) && frame.width > 0 &&
           frame.height > 0;
}

Image yuv420ToRgba(const AVFrame& frame, const YuvToRgb& matrix) {
    Image image = Image::forOverwrite(frame.width, frame.height);
    const auto rowLength = static_cast<std::size_t>((frame.width + 1) / 2 + words::kLanes + 2 * kEdge);
    forEachRowBlock(frame.height, [&](int y0, int y1) {
        const std::span<float> u = threadScratch<float, 0>(rowLength), v = threadScratch<float, 1>(rowLength);
        for (int y = y0; y < y1; ++y)
            convertRow(matrix, planeRow(frame, 0, y), chromaRowsOf(frame, y), frame.width, u.data(), v.data(),
                       image.row(y));
    });
    return image;
}

}  // namespace tintreel::media
