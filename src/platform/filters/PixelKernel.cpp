#include "platform/filters/PixelKernel.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/filters/Parallel.h"
#include "platform/filters/PixelMath.h"

namespace tintreel {

PixelKernel copyKernel() {
    return [](const std::uint8_t* src, std::uint8_t* dst, int width, RowPlace) {
        std::memcpy(dst, src, static_cast<std::size_t>(width) * Image::kChannels);
    };
}

// A pixel at a time as one 32-bit word whose alpha byte is set: loads, ORs
// and stores that vectorise, where single bytes four apart do not.
TINTREEL_VECTOR_KERNEL void makeRowOpaque(std::uint8_t* row, int width) {
    for (int x = 0; x < width; ++x) {
        std::uint32_t pixel;
        std::memcpy(&pixel, row + x * Image::kChannels, sizeof pixel);
        pixel |= Image::kAlphaBits;
        std::memcpy(row + x * Image::kChannels, &pixel, sizeof pixel);
    }
}

Image applyPixelKernels(const Image& input, std::span<const PixelKernel> kernels, bool opaque) {
    const int width = input.width();
    Image out = kernels.empty() ? input : Image::forOverwrite(width, input.height());
    if (kernels.empty() && !opaque) return out;
    forEachRowBlock(input.height(), [&](int y0, int y1) {
        // Steps between the first and the last pass the row through two
        // scratch rows of this thread, so no kernel writes over its own
        // input; they are kept from frame to frame, not made per block.
        thread_local std::vector<std::uint8_t> scratch[2];
        if (kernels.size() > 1)
            for (auto& row : scratch)
                if (row.size() < input.stride()) row.resize(input.stride());
        for (int y = y0; y < y1; ++y) {
            if (y + 1 < y1) prefetchBytes(input.row(y + 1), input.stride());
            const std::uint8_t* src = input.row(y);
            for (std::size_t k = 0; k < kernels.size(); ++k) {
                std::uint8_t* dst = k + 1 == kernels.size() ? out.row(y) : scratch[k % 2].data();
                kernels[k](src, dst, width, {y, input.height()});
                src = dst;
            }
            if (opaque) makeRowOpaque(out.row(y), width);
        }
    });
    return out;
}

}  // namespace tintreel
