#pragma once
// Small pictures for filter tests and a pixel comparison with a tolerance.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>

#include "platform/filters/Image.h"

namespace tintreel::test {

using Rgba = std::array<int, 4>;

inline Image solid(int w, int h, Rgba c) {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 4; ++k) img.pixel(x, y)[k] = static_cast<std::uint8_t>(c[k]);
    return img;
}

inline Image noise(int w, int h, unsigned seed = 7) {
    Image img(w, h);
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < img.byteCount(); ++i) img.data()[i] = static_cast<std::uint8_t>(rng() & 0xff);
    return img;
}

inline Rgba at(const Image& img, int x, int y) {
    const std::uint8_t* p = img.pixel(x, y);
    return {p[0], p[1], p[2], p[3]};
}

inline void setPixel(Image& img, int x, int y, Rgba c) {
    for (int k = 0; k < 4; ++k) img.pixel(x, y)[k] = static_cast<std::uint8_t>(c[k]);
}

// Every channel within `tolerance` levels of the expected value.
inline ::testing::AssertionResult near(const Rgba& actual, const Rgba& expected, int tolerance) {
    for (int k = 0; k < 4; ++k)
        if (std::abs(actual[k] - expected[k]) > tolerance)
            return ::testing::AssertionFailure()
                   << "got (" << actual[0] << "," << actual[1] << "," << actual[2] << "," << actual[3]
                   << ") expected (" << expected[0] << "," << expected[1] << "," << expected[2] << ","
                   << expected[3] << ") within " << tolerance;
    return ::testing::AssertionSuccess();
}

}  // namespace tintreel::test
