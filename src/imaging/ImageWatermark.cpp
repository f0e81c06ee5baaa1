#include "imaging/ImageWatermark.h"

#include <cmath>

#include "imaging/Canvas.h"
#include "imaging/WatermarkPosition.h"
#include "platform/filters/QtImage.h"

namespace tintreel {

Image DrawImageWatermark(const Image& picture, const ImageWatermarkPlacement& placement, int width,
                         int height) {
    if (picture.isEmpty() || !(placement.scale > 0.0) || !std::isfinite(placement.scale))
        return Image(width, height);
    const std::optional<WatermarkBox> box =
        placeWatermark(placement.position, width, height, picture.width() * placement.scale,
                       picture.height() * placement.scale, placement.xOffset, placement.yOffset);
    if (!box) return Image(width, height);
    const QRectF target = toTopLeft(*box, height);
    const QImage source = toQImage(picture);
    return paintCanvas(width, height, target, [&](QPainter& p) { p.drawImage(target, source); });
}

}  // namespace tintreel
