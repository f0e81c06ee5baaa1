#pragma once
// Small numeric helpers shared by the filter kernels: conversion back to
// bytes, smoothstep, and clamped bilinear sampling.
//
// Pure inline functions; callable from any thread.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/filters/Image.h"

namespace tintreel {

// Filter setters keep their previous value when given something that is
// not a finite number, so no parameter can poison a kernel.
inline void setFinite(double& field, double value) {
    if (std::isfinite(value)) field = value;
}

// A value in [0, 1] to a byte, rounded; out-of-range values are clamped and
// NaN becomes 0, so no parameter can produce an undefined conversion.
inline std::uint8_t unitToByte(float v) {
    const float scaled = v * 255.0f + 0.5f;
    if (!(scaled > 0.0f)) return 0;
    if (scaled >= 255.0f) return 255;
    return static_cast<std::uint8_t>(scaled);
}

// A value in [0, 255] to a byte, rounded and clamped; NaN becomes 0.
inline std::uint8_t levelToByte(float v) {
    return unitToByte(v * (1.0f / 255.0f));
}

// Hermite step from 0 at e0 to 1 at e1. When the edges coincide or are
// reversed the step is a hard threshold at e1, never a division by zero.
inline float smoothstep(float e0, float e1, float x) {
    if (!(e1 > e0)) return x < e1 ? 0.0f : 1.0f;
    const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Straight RGBA in levels 0 ... 255 as floats.
struct Texel {
    float c[4] = {0, 0, 0, 0};
};

// Bilinear sample at (x, y) in pixel units, where pixel (i, j) has its centre
// at (i, j); coordinates outside the image are clamped to the edge and NaN
// counts as 0, so no coordinate can reach outside the pixels.
inline Texel sampleBilinear(const Image& image, float x, float y) {
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
    const std::uint8_t* p01 = p00 + down;
    const float w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy, w11 = fx * fy;
    Texel t;
    for (int c = 0; c < 4; ++c)
        t.c[c] = w00 * p00[c] + w10 * p00[c + right] + w01 * p01[c] + w11 * p01[c + right];
    return t;
}

inline void storeTexel(std::uint8_t* dst, const Texel& t) {
    for (int c = 0; c < 4; ++c) dst[c] = levelToByte(t.c[c]);
}

}  // namespace tintreel
