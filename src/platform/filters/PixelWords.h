#pragma once
// Eight RGBA8 pixels in one vector register as 32-bit words, and their
// colour channels taken apart into lanes of floats or integers: the shape in
// which per-pixel kernels vectorise with plain lane arithmetic. Left to
// itself on bytes four apart, the compiler spends most of such a kernel on
// shuffles and single-byte stores.
//
// A word holds red in its low byte and alpha in its high one: RGBA8 in
// memory order on a little-endian machine. Pure inline functions; they
// become AVX2 or SSE2 code in whichever kernel inlines them, so no vector
// crosses a call (the files that use them turn off the compiler's warning
// that such calls would differ between AVX and baseline code).

#include <cstdint>
#include <cstring>

#include "platform/filters/Image.h"

namespace tintreel::words {

constexpr int kLanes = 8;
using Words = std::uint32_t __attribute__((vector_size(32)));
using Ints = std::int32_t __attribute__((vector_size(32)));
using Floats = float __attribute__((vector_size(32)));

// Colour channel `c` (0 red, 1 green, 2 blue) of each pixel, as a level.
[[gnu::always_inline]] inline Ints channel(Words pixels, int c) {
    return reinterpret_cast<Ints>((pixels >> (8 * c)) & 0xffu);
}

[[gnu::always_inline]] inline Floats levels(Words pixels, int c) {
    return __builtin_convertvector(channel(pixels, c), Floats);
}

// Levels to bytes as levelToByte() rounds them, lane for lane: the same
// operations in the same order, so the same bytes.
[[gnu::always_inline]] inline Ints roundedLevels(Floats v) {
    Floats scaled = v * (1.0f / 255.0f) * 255.0f + 0.5f;
    scaled = scaled > 0.0f ? scaled : 0.0f;
    scaled = scaled < 255.0f ? scaled : 255.0f;
    return __builtin_convertvector(scaled, Ints);
}

// Three channels of levels 0 ... 255 with the alpha of `alphaFrom`.
[[gnu::always_inline]] inline Words withColours(Ints red, Ints green, Ints blue, Words alphaFrom) {
    return reinterpret_cast<Words>(red | green << 8 | blue << 16) | (alphaFrom & Image::kAlphaBits);
}

// Calls `eight(pixels, x)` for each run of eight pixels of a row, x being
// the first one's column, and stores the words it leaves in `pixels` (a
// reference: no vector crosses a call) at `dst`. The
// last run may be shorter: it is read into and written from a zeroed
// register, so a kernel must not care what the lanes past the row hold.
template <typename Eight>
[[gnu::always_inline]] inline void forEachRun(const std::uint8_t* src, std::uint8_t* dst, int width,
                                              Eight&& eight) {
    constexpr std::size_t kBytes = sizeof(Words);
    int x = 0;
    for (; x + kLanes <= width; x += kLanes) {
        Words pixels;
        std::memcpy(&pixels, src + static_cast<std::size_t>(x) * Image::kChannels, kBytes);
        eight(pixels, x);
        std::memcpy(dst + static_cast<std::size_t>(x) * Image::kChannels, &pixels, kBytes);
    }
    if (x == width) return;
    const std::size_t bytes = static_cast<std::size_t>(width - x) * Image::kChannels;
    Words pixels{};
    std::memcpy(&pixels, src + static_cast<std::size_t>(x) * Image::kChannels, bytes);
    eight(pixels, x);
    std::memcpy(dst + static_cast<std::size_t>(x) * Image::kChannels, &pixels, bytes);
}

}  // namespace tintreel::words
