#pragma once
// Watermark placement shared by the text and the image watermark, on the
// still preview and in the movie pass.
//
// The anchor is the index of a position pop-up (the names below); any other
// index places nothing. Geometry is worked out in the canvas's own
// bottom-left, y-up coordinates and only turned into Qt's top-left
// coordinates at the end. Pure functions; any thread.

#include <QRectF>
#include <array>
#include <optional>
#include <string_view>

namespace tintreel {

inline constexpr std::array<std::string_view, 5> kWatermarkPositions = {
    "Bottom Left", "Bottom Right", "Top Left", "Top Right", "Center",
};

// A box in the canvas's bottom-left, y-up coordinates.
struct WatermarkBox {
    double x = 0, y = 0, width = 0, height = 0;
    bool operator==(const WatermarkBox&) const = default;
};

// The box of a width x height watermark anchored at `position` on a
// canvasWidth x canvasHeight canvas, moved by the offsets (positive x right,
// positive y up, no margin). Nothing for a position outside the list or a
// box that is not finite.
std::optional<WatermarkBox> placeWatermark(int position, double canvasWidth, double canvasHeight,
                                           double width, double height, double xOffset, double yOffset);

// The same box in Qt's top-left, y-down coordinates of that canvas.
QRectF toTopLeft(const WatermarkBox& box, double canvasHeight);

// How much a drag changes a watermark's offsets: `move` is the pointer's move
// in frame pixels (Qt's y-down), `scale` the factor the watermark's numbers
// are multiplied by when the frame is drawn (1 when they are drawn as they
// stand). The offsets are y-up whatever the anchor, so moving down lowers
// the Y offset. The one place this conversion is made.
QPointF offsetChangeForMove(QPointF move, double scale);

}  // namespace tintreel
