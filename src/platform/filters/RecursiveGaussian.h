#pragma once
// The Gaussian blur at a cost that does not grow with sigma, for the large
// sigmas where the direct convolution (BlurFilters.cpp) costs more.
//
// Same definition as the direct one: separable, the kernel cut at `radius`
// pixels and normalised, the edge pixels repeated outside the picture, all
// four channels alike (straight alpha). Each side of the kernel is a sum of
// two damped cosines run as second-order recursions whose cut is made
// exactly by subtracting the input that has just left the window, so the
// only difference from the definition is the fit of those cosines to the
// Gaussian (a few parts in ten thousand of its peak) and float rounding.
//
// Callable from any thread; spreads its work over oneTBB's workers and
// honours the calling thread's cancel scope like the other kernels.

#include "platform/filters/Image.h"

namespace tintreel {

Image recursiveGaussian(const Image& in, double sigma, int radius);

}  // namespace tintreel
