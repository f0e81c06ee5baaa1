#pragma once
// PixelKernel: a step that changes each pixel from that pixel and its place
// alone (the adjustments, sepia, black and white, a colour table, the
// vignette), as a function over one row. Several such steps run back to back on one row while it is in
// the cache, instead of each reading and writing the whole picture: the
// effect chain fuses them (imaging/EffectChain).
//
// A kernel reads `width` straight-alpha RGBA8 pixels at `src` and writes
// them at `dst`; the two never overlap, and alpha passes through. `place`
// says which row of how tall a picture it is. It reads only what it
// captured, so one kernel may run on many threads at once.

#include <cstdint>
#include <functional>
#include <span>

#include "platform/filters/Image.h"

namespace tintreel {

struct RowPlace {
    int y, height;
};
using PixelKernel =
    std::function<void(const std::uint8_t* src, std::uint8_t* dst, int width, RowPlace place)>;

// A kernel that copies the row: what a step whose parameters leave the
// picture unchanged does.
PixelKernel copyKernel();

// Sets the alpha of a row's `width` pixels to opaque.
void makeRowOpaque(std::uint8_t* row, int width);

// Runs `kernels` in order over every row of `input` on the worker threads.
// With `opaque`, every pixel of the result is made opaque as well.
Image applyPixelKernels(const Image& input, std::span<const PixelKernel> kernels, bool opaque = false);

inline Image applyPixelKernel(const Image& input, const PixelKernel& kernel) {
    return applyPixelKernels(input, std::span(&kernel, 1));
}

// What every per-pixel filter shares: `apply` runs the filter's `kernel()`
// over the rows, or returns an exact copy when `isIdentity()` says its
// parameters leave the picture unchanged.
template <typename Filter>
class PerPixelFilter {
public:
    Image apply(const Image& input) const {
        const auto& self = static_cast<const Filter&>(*this);
        return self.isIdentity() ? input : applyPixelKernel(input, self.kernel());
    }
};

}  // namespace tintreel
