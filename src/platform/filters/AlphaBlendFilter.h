#pragma once
// AlphaBlendFilter: lays an overlay over a base picture. The overlay's own
// alpha, weighted by the mix, decides how much of it covers the base:
// out.rgb = mix(base.rgb, overlay.rgb, overlay.a * mix), out.a = base.a.
//
// A plain value: set up on one thread, then `apply` may be called from any
// thread. An overlay of another size is first scaled to the base's size; an
// empty overlay leaves the base unchanged.

#include <utility>

#include "platform/filters/Image.h"

namespace tintreel {

class AlphaBlendFilter {
public:
    void setMix(double mix);  // clamped to [0, 1]; not a number counts as 0
    double mix() const { return mix_; }
    Image apply(const Image& base, const Image& overlay) const;
    // The same blend made on `base` where it lies, in its rows [first, last)
    // only: for a caller that owns the base and knows the overlay, which
    // must be of the base's size, transparent in every other row.
    void blendOnto(Image& base, const Image& overlay, int first, int last) const;

private:
    double mix_ = 0.0;
};

// The rows [first, last) outside which the picture is wholly transparent
// (first == last when all of it is).
std::pair<int, int> rowsWithAlpha(const Image& image);

// The picture scaled to width x height by bilinear sampling; an empty
// picture or size gives an empty image.
Image resized(const Image& image, int width, int height);

}  // namespace tintreel
