#pragma once
// VideoImageView: shows the still preview and accepts a dropped movie or colour table.
//
// Drawing is the canvas's: black, then the picture fitted in. The view's frame inside the visible preview
// area is the zoom and pan state. The view distinguishes holding no image at all from holding an empty one
// (what a reset gives it): only an image, even an empty one, lets the zoom
// buttons act, and only an empty one lets a drop skip its question.
//
// Dropping: a file with one of the movie extensions of MovieTypes.h (any case), after the
// question "All unsaved changes will be lost..." unless the preview is empty,
// and only when a frame can be extracted at time 0; then the notification
// "DragPerformed" with {"path": file} is posted on the default centre. A
// colour table file (ColorTable.h's extensions) is handed on by
// colorTableDropped, without a question: it changes the look, not the video.
//
// Pointer drags pan the zoomed preview, except one that starts on a
// watermark the probe says can be grabbed: that drag reports where the
// pointer is in frame pixels instead (the pixels of the picture shown, top-left
// origin), whatever the zoom. The cursor is an open hand over a grabbable
// watermark and a closed hand while one is dragged. In crop mode a left drag
// reports its points in frame pixels for drawing the crop instead (the
// press still gives the view the keys), and the crop drawn so far is
// outlined on the picture.
// GUI thread only.

#include <functional>
#include <optional>

#include "preview/ImageCanvas.h"

class QMimeData;

namespace tintreel {

class Dialogs;

class VideoImageView : public ImageCanvas {
    Q_OBJECT
public:
    explicit VideoImageView(QWidget* parent = nullptr);

    // The movie extensions a drop and the open panel accept, in order.
    static const QStringList acceptedTypes;

    // Where the drop's question is asked.
    void setDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }
    // The drop itself: true when accepted and "DragPerformed" was posted,
    // or a colour table file was handed on by colorTableDropped.
    bool performDragOperation(const QMimeData* data);

    // Says whether a watermark can be grabbed at a point in frame pixels.
    using WatermarkProbe = std::function<bool(QPointF framePoint)>;
    void setWatermarkProbe(WatermarkProbe probe) { probe_ = std::move(probe); }
    // The frame pixel under a point of this view (outside the picture too);
    // nothing while no picture is shown.
    std::optional<QPointF> framePoint(QPointF viewPoint) const;

    void setCropMode(bool on);
    bool cropMode() const { return cropMode_; }
    // The rectangle outlined in crop mode, in frame pixels; nothing for none.
    void setCropOverlay(std::optional<QRectF> rect);

Q_SIGNALS:
    // A colour table file was dropped on the picture (any of kColorTableExtensions).
    void colorTableDropped(const QString& path);
    // A crop-mode drag: where it started, where the pointer is now, its end.
    void cropPressed(const QPointF& framePoint);
    void cropDragged(const QPointF& framePoint);
    void cropReleased();
    // A drag inside the view moved the pointer by `delta` (Qt coordinates);
    // `windowPosition` is where the pointer is now.
    void dragged(const QPointF& delta, const QPointF& windowPosition);
    // That drag ended.
    void dragReleased();
    // A drag of a grabbable watermark: where it started, where the pointer
    // is now, and its end; in frame pixels.
    void watermarkPressed(const QPointF& framePoint);
    void watermarkDragged(const QPointF& framePoint);
    void watermarkReleased();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool shouldAskBeforeReplacing() const;
    // Whether a watermark can be grabbed at this point of the view.
    bool canGrabAt(QPointF viewPoint) const;
    void showHoverCursor(QPointF viewPoint);

    Dialogs* dialogs_ = nullptr;
    QPointF lastDragPosition_;
    WatermarkProbe probe_;
    bool draggingWatermark_ = false;
    bool cropMode_ = false;
    bool draggingCrop_ = false;
    std::optional<QRectF> cropOverlay_;
};

}  // namespace tintreel
