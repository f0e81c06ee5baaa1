#pragma once
// Input rotation: how a movie frame is turned before it enters a filter, so
// that a clip recorded sideways is processed upright.
//
// Pure functions on values; callable from any thread.

#include "platform/filters/Image.h"

namespace tintreel {

enum class InputRotation {
    None,
    RotateLeft,   // a quarter turn counter-clockwise
    RotateRight,  // a quarter turn clockwise
    HalfTurn,     // 180 degrees
};

// The image turned by the rotation; a quarter turn swaps width and height.
Image rotated(const Image& image, InputRotation rotation);

}  // namespace tintreel
