#include "preview/ImageCanvas.h"

#include <QPainter>

#include "platform/media/MediaAsset.h"

namespace tintreel {

QSize movieDisplayShape(const std::filesystem::path& movie) {
    const std::optional<VideoTrack> track = MediaAsset::open(movie).firstVideoTrack();
    if (!track) return {};
    const DisplaySize shown = displaySize(uprightOrientation(*track));
    return {shown.width, shown.height};
}

ImageCanvas::ImageCanvas(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void ImageCanvas::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

void ImageCanvas::clearImage() {
    image_.reset();
    update();
}

void ImageCanvas::setDisplayShape(QSize shape) {
    displayShape_ = shape;
    update();
}

QRect ImageCanvas::pictureRect() const {
    if (!image_ || image_->isNull()) return {};
    const QSize shape = displayShape_.isEmpty() ? image_->size() : displayShape_;
    QRect target(QPoint(0, 0), shape.scaled(size(), Qt::KeepAspectRatio));
    target.moveCenter(rect().center());
    return target;
}

void ImageCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!image_ || image_->isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(pictureRect(), *image_);
}

}  // namespace tintreel
