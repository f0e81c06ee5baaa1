#include "preview/ImageCanvas.h"

#include <QPainter>

#include "platform/media/MediaAsset.h"

namespace tintreel {

QSize movieDisplayShape(const std::filesystem::path& movie) {
    return movieDisplayShape(MediaAsset::open(movie));
}

QSize movieDisplayShape(const MediaAsset& movie) {
    const std::optional<VideoTrack>& track = movie.firstVideoTrack();
    if (!track) return {};
    const DisplaySize shown = displaySize(uprightOrientation(*track));
    return {shown.width, shown.height};
}

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

void ImageCanvas::setDisplayShape(QSize shape) {
    displayShape_ = shape;
    update();
}

QSize ImageCanvas::pictureShape() const {
    const QImage* picture = pictureToShow();
    if (!picture) return {};
    return displayShape_.isEmpty() ? picture->size() : displayShape_;
}

QRect ImageCanvas::pictureRect() const {
    const QSize shape = pictureShape();
    if (shape.isEmpty()) return {};
    QRect target(QPoint(0, 0), shape.scaled(size(), Qt::KeepAspectRatio));
    target.moveCenter(rect().center());
    return target;
}

void ImageCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QImage* picture = pictureToShow();
    if (!picture) return paintPlaceholder(painter);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(pictureRect(), *picture);
}

void ImageCanvas::paintPlaceholder(QPainter& painter) {
    if (placeholder_.isEmpty()) return;
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(rect().adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap, placeholder_);
}

}  // namespace tintreel
