#pragma once
// CropDrag: drawing the video's crop on the preview in crop mode, as plain
// logic the window feeds with pointer positions in frame pixels. A drag
// spans a rectangle from where it started to where the pointer is, kept
// inside the frame with even sizes of at least 2 (what the encoder takes);
// a press that does not move the pointer by a pixel draws nothing, so a
// plain click leaves the crop as it was.
//
// No widgets; used by the window on the GUI thread.

#include <QPointF>
#include <QSize>
#include <optional>

#include "platform/filters/Resample.h"

namespace tintreel {

class CropDrag {
public:
    void begin(QPointF framePoint);
    // The rectangle the drag spans with the pointer at `framePoint` over a
    // frame of `frameSize`; nothing when no drag runs or it has not moved.
    std::optional<PixelRect> moveTo(QPointF framePoint, QSize frameSize);
    // Ends the drag: the rectangle it drew, or nothing for a plain click.
    std::optional<PixelRect> end();

    bool isActive() const { return start_.has_value(); }

private:
    std::optional<QPointF> start_;
    std::optional<PixelRect> drawn_;
};

// The rectangle between two points of a frame of `frameSize`, clamped into
// it, with even sizes of at least 2 (the frame's own when it is smaller).
PixelRect cropBetween(QPointF a, QPointF b, QSize frameSize);

}  // namespace tintreel
