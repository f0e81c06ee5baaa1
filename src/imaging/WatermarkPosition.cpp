#include "imaging/WatermarkPosition.h"

#include <cmath>

namespace tintreel {

std::optional<WatermarkBox> placeWatermark(int position, double canvasWidth, double canvasHeight,
                                           double width, double height, double xOffset, double yOffset) {
    const double right = canvasWidth - width;
    const double top = canvasHeight - height;
    WatermarkBox box{0, 0, width, height};
    switch (position) {
        case 0:
            break;
        case 1:
            box.x = right;
            break;
        case 2:
            box.y = top;
            break;
        case 3:
            box.x = right, box.y = top;
            break;
        case 4:
            box.x = right * 0.5, box.y = top * 0.5;
            break;
        default:
            return std::nullopt;
    }
    box.x += xOffset;
    box.y += yOffset;
    // A box that is not made of finite numbers cannot be drawn anywhere.
    for (double v : {box.x, box.y, box.width, box.height})
        if (!std::isfinite(v)) return std::nullopt;
    return box;
}

QRectF toTopLeft(const WatermarkBox& box, double canvasHeight) {
    return {box.x, canvasHeight - (box.y + box.height), box.width, box.height};
}

QPointF offsetChangeForMove(QPointF move, double scale) {
    if (!(scale > 0.0) || !std::isfinite(scale)) return {};
    return {move.x() / scale, -move.y() / scale};
}

}  // namespace tintreel
