#include "preview/VideoImageView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>

#include "platform/filters/ColorTable.h"
#include "platform/media/FrameImage.h"
#include "platform/media/MovieTypes.h"
#include "platform/system/NotificationCenter.h"
#include "platform/ui/Dialogs.h"

namespace tintreel {

const QStringList VideoImageView::acceptedTypes = extensionList(kMovieExtensions);

VideoImageView::VideoImageView(QWidget* parent) : ImageCanvas(parent) {
    setAcceptDrops(true);
    setMouseTracking(true);  // the cursor shows what can be grabbed
    setPlaceholderText(QStringLiteral("Drop a video here, or choose Select Video\u2026"));
}

bool VideoImageView::shouldAskBeforeReplacing() const {
    // Only the empty image of a reset (after start-up or New) skips the question.
    return !image() || image()->width() != 0 || image()->height() != 0;
}

bool VideoImageView::performDragOperation(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().isEmpty()) return false;
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile()) return false;
    const QString path = url.toLocalFile();
    if (!path.isEmpty() && hasColorTableExtension(path.toStdString()) && QFileInfo(path).isFile()) {
        Q_EMIT colorTableDropped(path);
        return true;
    }
    if (path.isEmpty() || !hasMovieExtension(path.toStdString())) return false;
    if (QFileInfo(path).isDir()) return false;
    if (shouldAskBeforeReplacing()) {
        const QString question =
            QStringLiteral("All unsaved changes will be lost. Are you sure you want to add a new video?");
        if (!dialogs_ || !dialogs_->question(question)) return false;
    }
    if (!FrameImageAtTime(path.toStdString(), 0.0)) return false;
    NotificationCenter::defaultCenter().post("DragPerformed", UserInfo{{"path", path.toStdString()}});
    return true;
}

void VideoImageView::dragEnterEvent(QDragEnterEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void VideoImageView::dragMoveEvent(QDragMoveEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void VideoImageView::dropEvent(QDropEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->setAccepted(performDragOperation(event->mimeData()));
}

std::optional<QPointF> VideoImageView::framePoint(QPointF viewPoint) const {
    const QRect shown = pictureRect();
    if (!image() || image()->isNull() || shown.isEmpty()) return std::nullopt;
    // The picture may be drawn with other proportions than its pixels
    // (anamorphic movies), so each axis has its own scale.
    return QPointF((viewPoint.x() - shown.x()) * image()->width() / shown.width(),
                   (viewPoint.y() - shown.y()) * image()->height() / shown.height());
}

bool VideoImageView::canGrabAt(QPointF viewPoint) const {
    if (!probe_ || !pictureRect().contains(viewPoint.toPoint())) return false;
    const std::optional<QPointF> point = framePoint(viewPoint);
    return point && probe_(*point);
}

void VideoImageView::showHoverCursor(QPointF viewPoint) {
    if (canGrabAt(viewPoint))
        setCursor(Qt::OpenHandCursor);
    else
        unsetCursor();
}

void VideoImageView::mousePressEvent(QMouseEvent* event) {
    if (cropMode_ && event->button() == Qt::LeftButton) {
        if (const std::optional<QPointF> point = framePoint(event->position())) {
            draggingCrop_ = true;
            Q_EMIT cropPressed(*point);
        }
        return QWidget::mousePressEvent(event);  // the press still takes the keys
    }
    if (event->button() == Qt::LeftButton && canGrabAt(event->position())) {
        draggingWatermark_ = true;
        setCursor(Qt::ClosedHandCursor);
        Q_EMIT watermarkPressed(*framePoint(event->position()));
        return event->accept();
    }
    lastDragPosition_ = event->globalPosition();
    QWidget::mousePressEvent(event);
}

void VideoImageView::mouseMoveEvent(QMouseEvent* event) {
    if (draggingCrop_) {
        if (const std::optional<QPointF> point = framePoint(event->position())) Q_EMIT cropDragged(*point);
        return event->accept();
    }
    if (draggingWatermark_) {
        if (const std::optional<QPointF> point = framePoint(event->position()))
            Q_EMIT watermarkDragged(*point);
        return event->accept();
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        showHoverCursor(event->position());
        return QWidget::mouseMoveEvent(event);
    }
    const QPointF delta = event->globalPosition() - lastDragPosition_;
    lastDragPosition_ = event->globalPosition();
    Q_EMIT dragged(delta, event->scenePosition());
}

void VideoImageView::mouseReleaseEvent(QMouseEvent* event) {
    if (draggingCrop_ && event->button() == Qt::LeftButton) {
        draggingCrop_ = false;
        Q_EMIT cropReleased();
        return event->accept();
    }
    if (!draggingWatermark_ || event->button() != Qt::LeftButton) {
        if (event->button() == Qt::LeftButton) Q_EMIT dragReleased();
        return QWidget::mouseReleaseEvent(event);
    }
    draggingWatermark_ = false;
    Q_EMIT watermarkReleased();
    showHoverCursor(event->position());
    event->accept();
}

void VideoImageView::setCropMode(bool on) {
    cropMode_ = on;
    draggingCrop_ = false;
    setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
    update();
}

void VideoImageView::setCropOverlay(std::optional<QRectF> rect) {
    cropOverlay_ = rect;
    update();
}

void VideoImageView::paintEvent(QPaintEvent* event) {
    ImageCanvas::paintEvent(event);
    const QRect shown = pictureRect();
    if (!cropMode_ || !cropOverlay_ || !image() || image()->isNull() || shown.isEmpty()) return;
    const double sx = static_cast<double>(shown.width()) / image()->width();
    const double sy = static_cast<double>(shown.height()) / image()->height();
    const QRectF outline(shown.x() + cropOverlay_->x() * sx, shown.y() + cropOverlay_->y() * sy,
                         cropOverlay_->width() * sx, cropOverlay_->height() * sy);
    QPainter painter(this);
    // What the crop leaves out is dimmed; the kept part is outlined.
    QPainterPath outside;
    outside.addRect(QRectF(shown));
    outside.addRect(outline);
    painter.fillPath(outside, QColor(0, 0, 0, 140));
    painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
    painter.drawRect(outline);
}

}  // namespace tintreel
