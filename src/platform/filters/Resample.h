#pragma once
// Geometry kernels for the frame's shape: cutting a rectangle out, mirroring,
// resampling to another size, darkening and laying one picture on another.
// They serve the crop and the reframe, which run before every effect.
//
// Resampling is separable with a triangle (linear) kernel whose support grows
// with the shrink factor, so a downscale averages every source pixel it
// covers instead of skipping rows; sample centres are aligned the usual way
// (pixel i covers [i, i + 1)). All four channels are treated alike.
//
// Pure functions: any thread; the larger ones spread rows over oneTBB.

#include <array>
#include <cstdint>

#include "platform/filters/Image.h"

namespace tintreel {

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};

// Whether `rect` has a positive size and lies inside a width x height picture.
bool fitsInside(const PixelRect& rect, int width, int height);

// A copy of the part of `image` inside `rect`, which must fit inside it.
Image cropped(const Image& image, const PixelRect& rect);

// `image` mirrored left to right and/or top to bottom.
Image flipped(const Image& image, bool horizontal, bool vertical);

// The part of `image` inside `from` (which must fit inside it) resampled to
// width x height; an exact copy when the sizes match.
Image resampled(const Image& image, const PixelRect& from, int width, int height);

// Every colour multiplied by `factor` (0 ... 1), alpha kept.
void darken(Image& image, float factor);

// Copies `picture` onto `canvas` with its top-left corner at (x, y); the part
// outside the canvas is left out.
void paste(Image& canvas, const Image& picture, int x, int y);

// A width x height picture of one opaque colour.
Image filled(int width, int height, const std::array<std::uint8_t, 3>& rgb);

}  // namespace tintreel
