#include "preview/ImageCanvas.h"

#include <QPainter>

namespace tintreel {

ImageCanvas::ImageCanvas(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void ImageCanvas::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

void ImageCanvas::clearImage() {
    image_.reset();
    update();
}

void ImageCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!image_ || image_->isNull()) return;
    QRect target(QPoint(0, 0), image_->size().scaled(size(), Qt::KeepAspectRatio));
    target.moveCenter(rect().center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, *image_);
}

}  // namespace tintreel
