#include "preview/ImageCanvas.h"

#include <QPainter>

namespace tintreel {

ImageCanvas::ImageCanvas(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageCanvas::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

void ImageCanvas::clearImage() {
    image_.reset();
    update();
}

void ImageCanvas::setPlaceholderText(const QString& text) {
    placeholder_ = text;
    update();
}

void ImageCanvas::setReferenceImage(QImage reference) {
    reference_ = std::move(reference);
    update();
}

void ImageCanvas::setShowingReference(bool showing) {
    showingReference_ = showing;
    update();
}

const QImage* ImageCanvas::pictureToShow() const {
    if (isShowingReference()) return &reference_;
    return image_ && !image_->isNull() ? &*image_ : nullptr;
}

void ImageCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QImage* picture = pictureToShow();
    if (!picture) return paintPlaceholder(painter);
    QRect target(QPoint(0, 0), picture->size().scaled(size(), Qt::KeepAspectRatio));
    target.moveCenter(rect().center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, *picture);
}

void ImageCanvas::paintPlaceholder(QPainter& painter) {
    if (placeholder_.isEmpty()) return;
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(rect().adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap, placeholder_);
}

}  // namespace tintreel
