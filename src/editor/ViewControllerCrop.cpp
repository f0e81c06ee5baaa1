// ViewController: crop mode. The Crop button switches it; while it is on
// the preview shows the whole upright frame with the crop outlined, and a
// drag on it draws a new crop (a plain click only gives the preview the
// keys). Switching it off shows the cropped, reframed picture again. The
// crop belongs to the video: the session keeps it, the look's history does
// not record it.
#include <QPushButton>

#include "editor/ViewController.h"
#include "preview/VideoImageView.h"

namespace tintreel {

void ViewController::connectCropDrag() {
    VideoImageView* view = controls_.imageView;
    connect(view, &VideoImageView::cropPressed, this,
            [this](const QPointF& point) { cropDrag_.begin(point); });
    connect(view, &VideoImageView::cropDragged, this, [this, view](const QPointF& point) {
        if (snapshot_->isEmpty()) return;
        if (const std::optional<PixelRect> rect =
                cropDrag_.moveTo(point, QSize(snapshot_->width(), snapshot_->height())))
            view->setCropOverlay(QRectF(rect->x, rect->y, rect->width, rect->height));
    });
    connect(view, &VideoImageView::cropReleased, this, [this] {
        if (const std::optional<PixelRect> drawn = cropDrag_.end()) {
            crop_ = drawn;
            sessionKeeper_.changed();
        }
    });
}

void ViewController::setCropMode(bool on) {
    if (on == cropMode_) return;
    cropMode_ = on;
    VideoImageView* view = controls_.imageView;
    view->setCropMode(on);
    view->setCropOverlay(crop_ ? std::optional(QRectF(crop_->x, crop_->y, crop_->width, crop_->height))
                               : std::nullopt);
    outlets_.get<QPushButton>("buttonCropMode")->setChecked(on);
    UpdateImageEffect();
}

}  // namespace tintreel
