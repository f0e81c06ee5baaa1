#include "platform/filters/InputRotation.h"

#include <cstdint>
#include <cstring>

#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"
#include "platform/filters/PixelWords.h"

namespace tintreel {

namespace {

// Copies pixel by pixel: destination (x, y) takes source (sx, sy) as given by map.
template <typename Map>
void remapRows(const Image& src, Image& out, int y0, int y1, int x0, Map map) {
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* d = out.row(y) + static_cast<std::size_t>(x0) * Image::kChannels;
        for (int x = x0; x < out.width(); ++x, d += Image::kChannels) {
            auto [sx, sy] = map(x, y);
            std::memcpy(d, src.pixel(sx, sy), Image::kChannels);
        }
    }
}

template <typename Map>
Image remap(const Image& src, int width, int height, Map map) {
    Image out = Image::forOverwrite(width, height);
    forEachRowBlock(height, [&](int y0, int y1) { remapRows(src, out, y0, y1, 0, map); });
    return out;
}

// A tile is eight runs of eight pixels, each run one register of words.
using words::Words;
constexpr int kTile = words::kLanes;

// Eight runs of eight pixels, rows to columns, in registers: pairs of runs
// interleaved by pixels, then by pairs of pixels, then by halves.
inline void transpose(Words (&r)[kTile]) {
    Words t[kTile], u[kTile];
    for (int i = 0; i < kTile; i += 2) {
        t[i] = __builtin_shufflevector(r[i], r[i + 1], 0, 8, 1, 9, 4, 12, 5, 13);
        t[i + 1] = __builtin_shufflevector(r[i], r[i + 1], 2, 10, 3, 11, 6, 14, 7, 15);
    }
    for (int i = 0; i < kTile; i += 4)
        for (int k = 0; k < 2; ++k) {
            u[i + 2 * k] = __builtin_shufflevector(t[i + k], t[i + k + 2], 0, 1, 8, 9, 4, 5, 12, 13);
            u[i + 2 * k + 1] = __builtin_shufflevector(t[i + k], t[i + k + 2], 2, 3, 10, 11, 6, 7, 14, 15);
        }
    // u[i] holds columns i and i + 4 of rows 0-3 (u[0 ... 3]) or 4-7 (u[4 ... 7]).
    for (int j = 0; j < 4; ++j) {
        r[j] = __builtin_shufflevector(u[j], u[j + 4], 0, 1, 2, 3, 8, 9, 10, 11);
        r[j + 4] = __builtin_shufflevector(u[j], u[j + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    }
}

// Destination rows [y0, y0 + 8 bandTiles) of a quarter turn, eight by eight
// pixels through registers instead of one pixel a source row apart, as far
// as whole tiles reach; returns the first column left to the caller. Source
// column sx becomes destination row y; source row sy becomes destination
// column x. Two tiles side by side use all of every source cache line they
// fetch. (Not a template: some compilers cannot clone one per processor.)
TINTREEL_VECTOR_KERNEL int quarterTurnTiles(const Image& src, Image& out, int y0, int bandTiles,
                                            bool clockwise) {
    const int h = src.height(), w = src.width();
    const int rows = bandTiles * kTile;
    // The band's source columns, in ascending order from sx0.
    const int sx0 = clockwise ? y0 : w - rows - y0;
    const auto sourceRow = [&](int x) { return clockwise ? h - 1 - x : x; };
    // The source rows lie a row apart each, beyond what the processor
    // prefetches by itself: ask for those of the tiles this far ahead.
    constexpr int kAhead = 2 * kTile;
    int x = 0;
    for (; x + kTile <= out.width(); x += kTile) {
        if (x + kAhead + kTile <= out.width())
            for (int i = 0; i < kTile; ++i) {
                const int sy = sourceRow(x + kAhead + i);
                __builtin_prefetch(src.pixel(sx0, sy));
                __builtin_prefetch(src.pixel(sx0 + rows - 1, sy));
            }
        for (int b = 0; b < bandTiles; ++b) {
            Words r[kTile];
            for (int i = 0; i < kTile; ++i)
                std::memcpy(&r[i], src.pixel(sx0 + b * kTile, sourceRow(x + i)), sizeof r[i]);
            transpose(r);
            for (int j = 0; j < kTile; ++j) {
                const int sx = sx0 + b * kTile + j;
                const int y = clockwise ? sx : w - 1 - sx;
                std::memcpy(out.row(y) + static_cast<std::size_t>(x) * Image::kChannels, &r[j], sizeof r[j]);
            }
        }
    }
    return x;
}

// A band of tiles, then its pixels past the last whole tile one by one.
template <typename Map>
void quarterTurnBand(const Image& src, Image& out, int y0, int bandTiles, bool clockwise, Map map) {
    const int x = quarterTurnTiles(src, out, y0, bandTiles, clockwise);
    remapRows(src, out, y0, y0 + bandTiles * kTile, x, map);
}

template <typename Map>
Image quarterTurn(const Image& src, bool clockwise, Map map) {
    Image out = Image::forOverwrite(src.height(), src.width());
    constexpr int kBand = 2 * kTile;
    const int bands = out.height() / kBand;
    forEachRowBlock(bands, 1, [&](int b0, int b1) {
        for (int b = b0; b < b1; ++b) quarterTurnBand(src, out, b * kBand, 2, clockwise, map);
    });
    int y = bands * kBand;
    if (y + kTile <= out.height()) quarterTurnBand(src, out, y, 1, clockwise, map), y += kTile;
    remapRows(src, out, y, out.height(), 0, map);
    return out;
}

}  // namespace

Image rotated(const Image& image, InputRotation rotation) {
    const int w = image.width();
    const int h = image.height();
    if (image.isEmpty()) return image;
    switch (rotation) {
        case InputRotation::None:
            return image;
        case InputRotation::RotateLeft:
            return quarterTurn(image, false, [w](int x, int y) { return std::pair{w - 1 - y, x}; });
        case InputRotation::RotateRight:
            return quarterTurn(image, true, [h](int x, int y) { return std::pair{y, h - 1 - x}; });
        case InputRotation::HalfTurn:
            return remap(image, w, h, [w, h](int x, int y) { return std::pair{w - 1 - x, h - 1 - y}; });
    }
    return image;
}

}  // namespace tintreel
