#pragma once
// Stylising filters: smooth toon (cartoon), Kuwahara (oil painting),
// vignette, pixellate and halftone.
//
// Plain values: set up on one thread, then `apply` may be called from any
// thread; it spreads rows over oneTBB's workers. Alpha passes through.
// Degenerate parameters (a cell of 0, a radius of 0, non-finite values)
// give a defined picture, never a division by zero or a hang.
//
// A filter has no look of its own: every parameter starts at the value that
// leaves the picture unchanged where there is one, and at zero where there is
// none (toon, halftone, glass sphere, vignette); the effect steps set every
// parameter from the control catalogue, the one source of defaults.

#include "platform/filters/Image.h"
#include "platform/filters/PixelKernel.h"

namespace tintreel {

class SmoothToonFilter {
public:
    void setBlurRadiusInPixels(double sigma);   // Gaussian blur before edge detection
    void setThreshold(double threshold);        // Sobel strength above which a pixel is black
    void setQuantizationLevels(double levels);  // levels per channel; below 1 counts as 1
    bool isIdentity() const { return false; }
    Image apply(const Image& input) const;

private:
    double sigma_ = 0.0;
    double threshold_ = 0.0;
    double levels_ = 0.0;
};

class KuwaharaFilter {
public:
    // Window half size in whole pixels; 0 leaves the picture unchanged. Any
    // radius beyond the picture's larger side gives the same result as that
    // side, so the cost never depends on how large the value is.
    void setRadius(unsigned radius) { radius_ = radius; }
    bool isIdentity() const { return radius_ == 0; }
    Image apply(const Image& input) const;

private:
    unsigned radius_ = 0;
};

class VignetteFilter : public PerPixelFilter<VignetteFilter> {
public:
    // Distance from the centre (normalised coordinates) where darkening
    // begins and where it reaches black.
    void setVignetteStart(double start);
    void setVignetteEnd(double end);
    bool isIdentity() const { return false; }
    PixelKernel kernel() const;

private:
    double start_ = 0.0;
    double end_ = 0.0;
};

class PixellateFilter {
public:
    // Cell width as a fraction of the picture's width; cells are at least 1 pixel.
    void setFractionalWidthOfAPixel(double fraction);
    bool isIdentity() const { return false; }
    Image apply(const Image& input) const;

private:
    double fraction_ = 0.0;
};

class HalftoneFilter {
public:
    // Cell width as a fraction of the picture's width; cells are at least 1 pixel.
    void setFractionalWidthOfAPixel(double fraction);
    bool isIdentity() const { return false; }
    Image apply(const Image& input) const;

private:
    double fraction_ = 0.0;
};

// Side of the square cells of pixellate and halftone, in pixels.
int cellSizeInPixels(double fraction, int width);

}  // namespace tintreel
