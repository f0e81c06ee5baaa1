#include "imaging/Canvas.h"

#include <cstring>

#include "platform/filters/QtImage.h"

namespace tintreel {

QImage transparentSurface(int width, int height) {
    QImage surface(width, height, QImage::Format_ARGB32_Premultiplied);
    constexpr int kDotsPerMeterAt72Dpi = 2835;
    surface.setDotsPerMeterX(kDotsPerMeterAt72Dpi);
    surface.setDotsPerMeterY(kDotsPerMeterAt72Dpi);
    surface.fill(Qt::transparent);
    return surface;
}

Image paintCanvas(int width, int height, const QRectF& region, const std::function<void(QPainter&)>& paint) {
    Image canvas(width, height);
    const QRect area = region.toAlignedRect().intersected(QRect(0, 0, width, height));
    if (canvas.isEmpty() || area.isEmpty()) return canvas;
    QImage surface = transparentSurface(area.width(), area.height());
    {
        QPainter painter(&surface);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        painter.translate(-area.left(), -area.top());
        paint(painter);
    }
    const Image patch = fromQImage(surface);
    for (int y = 0; y < patch.height(); ++y)
        std::memcpy(canvas.pixel(area.left(), area.top() + y), patch.row(y), patch.stride());
    return canvas;
}

}  // namespace tintreel
