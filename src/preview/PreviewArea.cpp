#include "preview/PreviewArea.h"

#include <QResizeEvent>

#include "preview/VideoImageView.h"
#include "preview/ZoomPan.h"

namespace tintreel {

PreviewArea::PreviewArea(VideoImageView* imageView, QWidget* parent) : QWidget(parent), imageView_(imageView) {
    imageView_->setParent(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

bool PreviewArea::hasImageObject() const { return imageView_->image().has_value(); }

double PreviewArea::zoomFactor() const { return width() > 0 ? viewFrame_.width() / width() : 1.0; }

void PreviewArea::setViewFrame(const QRectF& frame) {
    viewFrame_ = frame;
    imageView_->setGeometry(frame.toRect());
}

void PreviewArea::zoom(double factor) {
    if (!hasImageObject()) return;
    actualPixels_ = false;
    setViewFrame(zoomPreview(size(), viewFrame_, factor));
}

void PreviewArea::ResetZoom() {
    if (!hasImageObject()) return;
    actualPixels_ = false;
    setViewFrame(resetZoom(size(), viewFrame_));
}

void PreviewArea::showActualPixels() {
    if (!hasImageObject()) return;
    actualPixels_ = true;
    setViewFrame(actualPixelsFrame(viewFrame_));
}

// The picture's pixels are device pixels; the area measures in logical ones.
QRectF PreviewArea::actualPixelsFrame(const QRectF& view) const {
    return actualPixelsView(size(), view, QSizeF(imageView_->pictureShape()) / devicePixelRatioF());
}

void PreviewArea::pan(const QPointF& delta) { setViewFrame(panPreview(size(), viewFrame_, delta)); }

void PreviewArea::reposition() { setViewFrame(repositionInVisibleArea(size(), viewFrame_)); }

void PreviewArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSizeF old = event->oldSize().isValid() ? QSizeF(event->oldSize()) : QSizeF(size());
    if (viewFrame_.isEmpty() || old.isEmpty()) return setViewFrame(QRectF(QPointF(0, 0), QSizeF(size())));
    const double sx = width() / old.width();
    const double sy = height() / old.height();
    const QRectF scaled(viewFrame_.x() * sx, viewFrame_.y() * sy, viewFrame_.width() * sx, viewFrame_.height() * sy);
    setViewFrame(actualPixels_ ? actualPixelsFrame(scaled) : repositionInVisibleArea(size(), scaled));
}

}  // namespace tintreel
