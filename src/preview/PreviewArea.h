#pragma once
// PreviewArea: the visible part of the still preview. It holds the image view
// as a child whose frame (size and origin inside this area) is the zoom and
// pan state; at zoom 1 the image view exactly covers the area.
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
    // The image view takes this area's size at origin (0, 0).
    void ResetZoom();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    VideoImageView* imageView_;
};

}  // namespace tintreel
