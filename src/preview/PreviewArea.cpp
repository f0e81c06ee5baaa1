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
    frameArea_ = size();
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

// The frame scales from the area it was made for, not from the event's old
// size: a resize while the area is hidden (the player shown in its place)
// reaches it only when it is shown again, without an old size, and the
// next resize would otherwise scale the frame a second time.
void PreviewArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSizeF old = frameArea_;
    if (viewFrame_.isEmpty() || old.isEmpty()) return setViewFrame(QRectF(QPointF(0, 0), QSizeF(size())));
    const double sx = width() / old.width();
    const double sy = height() / old.height();
    const QRectF scaled(viewFrame_.x() * sx, viewFrame_.y() * sy, viewFrame_.width() * sx, viewFrame_.height() * sy);
    setViewFrame(actualPixels_ ? actualPixelsFrame(scaled) : repositionInVisibleArea(size(), scaled));
}

}  // namespace tintreel
