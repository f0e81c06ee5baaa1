#pragma once
// VideoImageView: shows the still preview and accepts a dropped movie.
//
// Drawing is the canvas's: black, then the picture fitted in. The view's frame inside the visible preview area is the zoom and pan state.
// The view distinguishes holding no image at all from holding an empty one
// (what a reset gives it): only an image, even an empty one, lets the zoom
// buttons act, and only an empty one lets a drop skip its question.
//
// Dropping: a file with one of the movie extensions of MovieTypes.h (any case), after the
// question "All unsaved changes will be lost..." unless the preview is empty,
// and only when a frame can be extracted at time 0; then the notification
// "DragPerformed" with {"path": file} is posted on the default centre.
// GUI thread only.

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
    // The drop itself: true when accepted and "DragPerformed" was posted.
    bool performDragOperation(const QMimeData* data);

Q_SIGNALS:
    // A drag inside the view moved the pointer by `delta` (Qt coordinates);
    // `windowPosition` is where the pointer is now.
    void dragged(const QPointF& delta, const QPointF& windowPosition);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool shouldAskBeforeReplacing() const;

    Dialogs* dialogs_ = nullptr;
    QPointF lastDragPosition_;
};

}  // namespace tintreel
