#include "preview/PreviewArea.h"

#include <QResizeEvent>

#include "preview/VideoImageView.h"

namespace tintreel {

PreviewArea::PreviewArea(VideoImageView* imageView, QWidget* parent) : QWidget(parent), imageView_(imageView) {
    imageView_->setParent(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PreviewArea::ResetZoom() { imageView_->setGeometry(0, 0, width(), height()); }

void PreviewArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A window resize starts the zoom afresh: the old frame would no longer
    // cover the new area consistently.
    ResetZoom();
}

}  // namespace tintreel
