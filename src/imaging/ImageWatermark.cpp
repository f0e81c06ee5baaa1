#include "imaging/ImageWatermark.h"

#include <cmath>

#include "imaging/Canvas.h"
#include "imaging/WatermarkPosition.h"
#include "platform/filters/QtImage.h"

namespace tintreel {

std::optional<QRectF> imageWatermarkRect(QSizeF pictureSize, const ImageWatermarkPlacement& placement,
                                         int width, int height) {
    if (pictureSize.isEmpty() || !(placement.scale > 0.0) || !std::isfinite(placement.scale))
        return std::nullopt;
    const std::optional<WatermarkBox> box =
        placeWatermark(placement.position, width, height, pictureSize.width() * placement.scale,
                       pictureSize.height() * placement.scale, placement.xOffset, placement.yOffset);
    if (!box) return std::nullopt;
    return toTopLeft(*box, height);
}

Image DrawImageWatermark(const Image& picture, const ImageWatermarkPlacement& placement, int width,
                         int height) {
    const std::optional<QRectF> target =
        imageWatermarkRect(QSizeF(picture.width(), picture.height()), placement, width, height);
    if (!target) return Image(width, height);
    const QImage source = toQImage(picture);
    return paintCanvas(width, height, *target, [&](QPainter& p) { p.drawImage(*target, source); });
}

}  // namespace tintreel
