#pragma once
// Geometric filters: the 4 x 4 transform, swirl and glass sphere. Each output
// pixel looks up where it comes from and samples the input bilinearly.
//
// Plain values: set up on one thread, then `apply` may be called from any
// thread; it spreads rows over oneTBB's workers.
//
// A filter has no look of its own: every parameter starts at the value that
// leaves the picture unchanged where there is one, and at zero where there is
// none (toon, halftone, glass sphere, vignette); the effect steps set every
// parameter from the control catalogue, the one source of defaults.

#include "platform/filters/Image.h"
#include "platform/filters/Transform3D.h"

namespace tintreel {

// Draws the picture on a quad transformed by a 4 x 4 matrix. The quad spans
// x in [-1, 1] and y in [-h/w, h/w] (y up) in a plane whose unit is half the
// picture's width; each corner (x, y, 0, 1) is multiplied by the matrix and
// divided by its w. What the quad leaves uncovered is transparent black, and
// so is the whole output when the matrix is singular or not finite (the
// quad then covers no area).
class TransformFilter {
public:
    void setTransform3D(const Transform3D& transform) { transform_ = transform; }
    bool isIdentity() const { return transform_ == Transform3D::identity(); }
    Image apply(const Image& input) const;

private:
    Transform3D transform_ = Transform3D::identity();
};

// Inside the radius (normalised coordinates, centre (0.5, 0.5)), each sample
// point is turned about the centre by 8 * angle * ((radius - d) / radius)²
// radians; outside it the picture is unchanged.
class SwirlFilter {
public:
    void setRadius(double radius);
    void setAngle(double angle);
    bool isIdentity() const { return !(radius_ > 0.0) || angle_ == 0.0; }
    Image apply(const Image& input) const;

private:
    double radius_ = 0.0;
    double angle_ = 0.0;
};

// The picture seen through a glass ball centred on it: inside the
// aspect-corrected circle the view ray is refracted by the ball's surface
// normal with the given ratio and a soft highlight is added; outside the
// circle the output is transparent black.
class GlassSphereFilter {
public:
    void setRadius(double radius);
    void setRefractiveIndex(double index);
    bool isIdentity() const { return false; }
    Image apply(const Image& input) const;

private:
    double radius_ = 0.0;
    double index_ = 0.0;
};

}  // namespace tintreel
