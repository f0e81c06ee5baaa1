#pragma once
// PreviewArea: the visible part of the still preview. It holds the image view
// as a child whose frame (size and origin inside this area) is the zoom and
// pan state; at zoom 1 the image view exactly covers the area. A window
// resize keeps the zoom factor and the relative pan, or the actual pixels.
//
// GUI thread only.

#include <QWidget>

namespace tintreel {

class VideoImageView;

class PreviewArea : public QWidget {
    Q_OBJECT
public:
    explicit PreviewArea(VideoImageView* imageView, QWidget* parent = nullptr);

    VideoImageView* imageView() const { return imageView_; }

    // The zoom buttons; all do nothing while the image view holds no image.
    void zoom(double factor);
    void ResetZoom();
    // One pixel of the picture on each pixel of the screen (see
    // actualPixelsView), kept through window resizes until the next zoom.
    void showActualPixels();
    void pan(const QPointF& delta);
    // Brings the image view's origin back into the allowed range.
    void reposition();
    double zoomFactor() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool hasImageObject() const;
    void setViewFrame(const QRectF& frame);
    QRectF actualPixelsFrame(const QRectF& view) const;

    VideoImageView* imageView_;
    QRectF viewFrame_;  // exact frame; the widget geometry is its rounding
    QSizeF frameArea_;  // the area's size when viewFrame_ was set
    bool actualPixels_ = false;
};

}  // namespace tintreel
