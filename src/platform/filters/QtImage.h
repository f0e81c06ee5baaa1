#pragma once
// Conversions between our Image and Qt's QImage: the one place that knows
// how the two lay out their pixels. Image is straight-alpha RGBA8, which is
// QImage::Format_RGBA8888.
//
// Pure functions on values; callable from any thread.

#include <QImage>

#include "platform/filters/Image.h"

namespace tintreel {

// A copy of the picture as a Format_RGBA8888 QImage (empty for an empty Image).
QImage toQImage(const Image& image);

// A copy of any QImage as straight-alpha RGBA8 (converting the format when needed).
Image fromQImage(const QImage& image);

}  // namespace tintreel
