#pragma once
// The image watermark: a picture scaled and placed alone on a transparent
// canvas of a frame's size, to be blended over the frame. The one drawing
// used by the still preview and by the movie pass.
//
// Uses QPainter on a QImage; callable from any thread, every call builds its
// own canvas.

#include <QRectF>
#include <optional>

#include "platform/filters/Image.h"

namespace tintreel {

struct ImageWatermarkPlacement {
    int position = 1;    // an index of kWatermarkPositions; others draw nothing
    double scale = 1.0;  // fraction of the picture's pixel size
    double xOffset = 0;  // positive moves right
    double yOffset = 0;  // positive moves up
};

// Where a picture of `pictureSize` pixels lies on a width x height canvas, in
// its top-left pixel coordinates: the box the drawing below fills. Nothing
// when nothing would be drawn.
std::optional<QRectF> imageWatermarkRect(QSizeF pictureSize, const ImageWatermarkPlacement& placement,
                                         int width, int height);

// A width x height canvas, transparent except for the picture, whose natural
// size is its pixel size. An empty picture or a scale that is not positive
// draws nothing.
Image DrawImageWatermark(const Image& picture, const ImageWatermarkPlacement& placement, int width,
                         int height);

}  // namespace tintreel
