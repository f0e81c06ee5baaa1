#include "preview/VideoImageView.h"

#include <QPainter>

namespace tintreel {

const QStringList VideoImageView::acceptedTypes{"mov", "m4v", "mp4", "3gp", "3g2"};

VideoImageView::VideoImageView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void VideoImageView::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

void VideoImageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!image_ || image_->isNull()) return;
    QSize fitted = image_->size().scaled(size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), fitted);
    target.moveCenter(rect().center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, *image_);
}

}  // namespace tintreel
