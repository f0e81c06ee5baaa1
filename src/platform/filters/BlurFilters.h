#pragma once
// Blur filters: Gaussian blur, the circle-limited and the focus (selective)
// variants, motion blur along an angle and zoom blur toward the centre.
//
// Plain values: set up on one thread, then `apply` may be called from any
// thread; it spreads rows over oneTBB's workers. All four channels are
// blurred alike (straight alpha). Degenerate parameters (zero, negative or
// non-finite sizes) leave the picture unchanged rather than failing.
//
// A filter has no look of its own: every parameter starts at the value that
// leaves the picture unchanged where there is one, and at zero where there is
// none (toon, halftone, glass sphere, vignette); the effect steps set every
// parameter from the control catalogue, the one source of defaults.

#include "platform/filters/Image.h"

namespace tintreel {

class GaussianBlurFilter {
public:
    // Radii beyond this are treated as this, which bounds the cost of a
    // mistyped huge value without changing any sensible setting.
    static constexpr double kMaxSigma = 64.0;

    // Standard deviation of the separable Gaussian in pixels; 0 leaves the
    // picture unchanged.
    void setBlurRadiusInPixels(double sigma);
    bool isIdentity() const { return !(sigma_ > 0.0); }
    Image apply(const Image& input) const;

private:
    double sigma_ = 0.0;
};

// "Circle blur": the inside of a circle centred on the picture is blurred.
class GaussianBlurPositionFilter {
public:
    void setBlurSize(double size);      // spread: the blur's sigma in pixels
    void setBlurRadius(double radius);  // circle radius, aspect-corrected normalised units
    bool isIdentity() const { return !(size_ > 0.0) || !(radius_ > 0.0); }
    Image apply(const Image& input) const;

private:
    double size_ = 0.0;
    double radius_ = 0.0;
};

// "Focus blur": the picture blurred, and kept sharp inside a soft-edged circle.
class GaussianSelectiveBlurFilter {
public:
    void setBlurRadiusInPixels(double sigma);
    void setExcludeCircleRadius(double radius);  // aspect-corrected normalised units
    void setExcludeBlurSize(double size);        // width of the soft edge, same units
    bool isIdentity() const { return !(sigma_ > 0.0); }
    Image apply(const Image& input) const;

private:
    double sigma_ = 0.0;
    double radius_ = 0.0;
    double edge_ = 0.0;
};

class MotionBlurFilter {
public:
    void setBlurSize(double pixels);    // distance between the nine samples
    void setBlurAngle(double degrees);  // counter-clockwise from the x axis, y up
    bool isIdentity() const { return !(size_ > 0.0); }
    Image apply(const Image& input) const;

private:
    double size_ = 0.0;
    double angle_ = 0.0;
};

class ZoomBlurFilter {
public:
    // Spacing of the nine samples in percent of the distance to the centre.
    void setBlurSize(double percent);
    bool isIdentity() const { return !(size_ > 0.0); }
    Image apply(const Image& input) const;

private:
    double size_ = 0.0;
};

// Weights of the nine samples of the motion and zoom blurs, for offsets
// -4 ... 4 sample steps; heaviest at the pixel, summing to 1.
inline constexpr float kNineTapWeights[9] = {0.05f, 0.09f, 0.12f, 0.15f, 0.18f, 0.15f, 0.12f, 0.09f, 0.05f};

}  // namespace tintreel
