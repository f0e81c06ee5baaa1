#include "preview/ZoomPan.h"

#include <algorithm>

namespace tintreel {

QRectF zoomPreview(const QSizeF& area, const QRectF& view, double factor) {
    if (area.width() <= 0) return view;
    const double zoom = view.width() / area.width() * factor;
    QSizeF size;
    if (zoom < 1.0) size = area;
    else if (zoom > kMaximumZoom) size = area * kMaximumZoom;
    else size = view.size() * factor;
    QRectF zoomed(view.topLeft(), size);
    zoomed.translate(-(size.width() - view.width()) * 0.5, -(size.height() - view.height()) * 0.5);
    return repositionInVisibleArea(area, zoomed);
}

QRectF resetZoom(const QSizeF& area, const QRectF& view) {
    return repositionInVisibleArea(area, QRectF(view.topLeft(), area));
}

QRectF actualPixelsView(const QSizeF& area, const QRectF& view, const QSizeF& picture) {
    if (area.isEmpty() || picture.isEmpty()) return view;
    const double zoom =
        std::min(kMaximumZoom, std::max(picture.width() / area.width(), picture.height() / area.height()));
    QRectF zoomed(QPointF(0, 0), area * zoom);
    if (zoom < 1.0) {
        zoomed.moveCenter(QPointF(area.width() / 2, area.height() / 2));
        return zoomed;
    }
    zoomed.moveCenter(view.center());
    return repositionInVisibleArea(area, zoomed);
}

QRectF repositionInVisibleArea(const QSizeF& area, const QRectF& view) {
    QRectF placed = view;
    if (area.width() - placed.width() > placed.x()) placed.moveLeft(area.width() - placed.width());
    if (placed.x() > 0) placed.moveLeft(0);
    if (area.height() - placed.height() > placed.y()) placed.moveTop(area.height() - placed.height());
    if (placed.y() > 0) placed.moveTop(0);
    return placed;
}

QRectF panPreview(const QSizeF& area, const QRectF& view, const QPointF& delta) {
    QRectF moved = view;
    const double x = view.x() + delta.x();
    if (area.width() - view.width() <= x && x <= 0) moved.moveLeft(x);
    const double y = view.y() + delta.y();
    if (area.height() - view.height() <= y && y <= 0) moved.moveTop(y);
    return moved;
}

}  // namespace tintreel
