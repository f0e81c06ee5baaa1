#pragma once
// Small numeric helpers shared by the filter kernels: conversion back to
// bytes, smoothstep, a vectorisable sine and cosine, RGBA texels as one
// vector of four floats, clamped bilinear sampling, and the marker for
// kernels built for both baseline x86-64 and AVX2.
//
// Pure inline functions; callable from any thread.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/filters/Image.h"
#include "platform/system/SanitizerBuild.h"

namespace tintreel {

// Marks a kernel whose loops the compiler vectorises: on x86-64 it is built
// twice, for the baseline and for AVX2, and the loader picks the version the
// processor runs. Both versions do the same arithmetic in the same order, so
// the results are identical; only the width of the vector registers differs.
// ThreadSanitizer builds keep the baseline only: the loader runs the version
// picker before the sanitizer's runtime is ready, and the instrumented picker
// crashes the program at start.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(TINTREEL_THREAD_SANITIZER)
#define TINTREEL_VECTOR_KERNEL __attribute__((target_clones("avx2", "default")))
#else
#define TINTREEL_VECTOR_KERNEL
#endif

// The same for kernels made mostly of multiply-adds, built also for AVX-512;
// the AVX2 and AVX-512 versions fuse the multiply-adds (with
// -ffp-contract=fast on their source file). A fused
// multiply-add rounds once where the pair rounds twice, so the two versions
// may differ in the last bits of a float; a kernel marked so must not
// promise the same bytes on every processor, only on any one.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(TINTREEL_THREAD_SANITIZER)
#define TINTREEL_FMA_KERNEL __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define TINTREEL_FMA_KERNEL
#endif

// Asks for the cache lines of [bytes, bytes + n) ahead of their use. The
// processor's own prefetching does not keep up with a kernel that streams
// a frame through once (it tends to wait on each new row), so the kernels
// ask for the next row while they work on this one.
inline void prefetchBytes(const std::uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; i += 64) __builtin_prefetch(bytes + i);
}

// Filter setters keep their previous value when given something that is
// not a finite number, so no parameter can poison a kernel.
inline void setFinite(double& field, double value) {
    if (std::isfinite(value)) field = value;
}

// A value in [0, 1] to a byte, rounded; out-of-range values are clamped and
// NaN becomes 0, so no parameter can produce an undefined conversion.
// Selects rather than branches, so that loops over it vectorise.
inline std::uint8_t unitToByte(float v) {
    float scaled = v * 255.0f + 0.5f;
    scaled = scaled > 0.0f ? scaled : 0.0f;
    scaled = scaled < 255.0f ? scaled : 255.0f;
    return static_cast<std::uint8_t>(static_cast<int>(scaled));
}

// A value in [0, 255] to a byte, rounded and clamped; NaN becomes 0.
inline std::uint8_t levelToByte(float v) {
    return unitToByte(v * (1.0f / 255.0f));
}

// Hermite step from 0 at e0 to 1 at e1. When the edges coincide or are
// reversed the step is a hard threshold at e1, never a division by zero.
// Written with selects rather than branches so that loops over it vectorise.
inline float smoothstep(float e0, float e1, float x) {
    if (!(e1 > e0)) return x < e1 ? 0.0f : 1.0f;
    float t = (x - e0) / (e1 - e0);
    t = t > 0.0f ? t : 0.0f;
    t = t < 1.0f ? t : 1.0f;
    return t * t * (3.0f - 2.0f * t);
}

// Sine and cosine together, within a few units in the last place of
// single precision for angles up to a few hundred radians. A polynomial
// rather than a library call, so that loops over it vectorise.
struct SinCos {
    float sin, cos;
};

inline SinCos sinCos(float a) {
    // a = q pi/2 + r with |r| <= pi/4; pi/2 in three parts keeps q pi/2 exact enough.
    const int q = static_cast<int>(a * 0.636619772f + (a < 0.0f ? -0.5f : 0.5f));
    const float qf = static_cast<float>(q);
    const float r = ((a - qf * 1.5703125f) - qf * 4.8375129699707031e-4f) - qf * 7.5497899548918821e-8f;
    const float z = r * r;
    const float s = r + r * z * (-1.6666654611e-1f + z * (8.3321608736e-3f + z * -1.9515295891e-4f));
    const float c =
        1.0f - 0.5f * z +
        z * z * (4.166664568298827e-2f + z * (-1.388731625493765e-3f + z * 2.443315711809948e-5f));
    // Quadrants 0 ... 3 give (s, c), (c, -s), (-s, -c), (-c, s).
    const float sine = (q & 1) ? c : s, cosine = (q & 1) ? s : c;
    return {(q & 2) ? -sine : sine, ((q + 1) & 2) ? -cosine : cosine};
}

// One straight RGBA texel in levels 0 ... 255, the four channels in one
// vector register so that every operation works on all of them at once.
using Float4 = float __attribute__((vector_size(16)));
using Int4 = std::int32_t __attribute__((vector_size(16)));
using Byte4 = std::uint8_t __attribute__((vector_size(4)));

// The byte <-> float conversions below are written out for SSE2 (every x86-64
// processor has it): the compiler's generic vector conversions go through
// scalar code there and would cost more than the arithmetic they feed.
inline Float4 loadTexel(const std::uint8_t* p) {
#if defined(__SSE2__)
    std::int32_t bits;
    std::memcpy(&bits, p, sizeof bits);
    const __m128i zero = _mm_setzero_si128();
    const __m128i wide = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bits), zero), zero);
    return reinterpret_cast<Float4>(_mm_cvtepi32_ps(wide));
#else
    Byte4 b;
    std::memcpy(&b, p, sizeof b);
    return __builtin_convertvector(b, Float4);
#endif
}

// Rounded to the nearest level and clamped to 0 ... 255; NaN becomes 0.
inline void storeTexel(std::uint8_t* dst, Float4 t) {
#if defined(__SSE2__)
    // min() passes a NaN through, which the conversion turns into the most
    // negative integer, which the saturating packs turn into 0.
    const __m128 rounded = _mm_min_ps(_mm_set1_ps(255.0f), reinterpret_cast<__m128>(t + 0.5f));
    const __m128i words = _mm_packs_epi32(_mm_cvttps_epi32(rounded), _mm_setzero_si128());
    const std::int32_t bits = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    std::memcpy(dst, &bits, sizeof bits);
#else
    t += 0.5f;
    t = t > 0.0f ? t : Float4{};
    t = t < 255.0f ? t : Float4{} + 255.0f;
    const Byte4 b = __builtin_convertvector(__builtin_convertvector(t, Int4), Byte4);
    std::memcpy(dst, &b, sizeof b);
#endif
}

// Bilinear sample at (x, y) in pixel units, where pixel (i, j) has its centre
// at (i, j); coordinates outside the image are clamped to the edge and NaN
// counts as 0, so no coordinate can reach outside the pixels.
inline Float4 sampleBilinear(const Image& image, float x, float y) {
    const float maxX = static_cast<float>(image.width() - 1);
    const float maxY = static_cast<float>(image.height() - 1);
    x = x > 0.0f ? (x < maxX ? x : maxX) : 0.0f;
    y = y > 0.0f ? (y < maxY ? y : maxY) : 0.0f;
    const int x0 = static_cast<int>(x);
    const int y0 = static_cast<int>(y);
    const float fx = x - static_cast<float>(x0);
    const float fy = y - static_cast<float>(y0);
    const std::uint8_t* p00 = image.pixel(x0, y0);
    const std::ptrdiff_t right = x0 + 1 < image.width() ? 4 : 0;
    const std::ptrdiff_t down = y0 + 1 < image.height() ? static_cast<std::ptrdiff_t>(image.stride()) : 0;
    const Float4 a = loadTexel(p00), b = loadTexel(p00 + right);
    const Float4 c = loadTexel(p00 + down), d = loadTexel(p00 + down + right);
    const Float4 top = a + (b - a) * fx;
    const Float4 bottom = c + (d - c) * fx;
    return top + (bottom - top) * fy;
}

}  // namespace tintreel
