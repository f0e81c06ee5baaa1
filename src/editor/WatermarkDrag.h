#pragma once
// WatermarkDrag: placing a watermark by dragging it on the still preview,
// as plain logic the window feeds with pointer positions. The drag moves the
// watermark's offset pair by the pointer's move in frame pixels, so it
// follows the pointer at any zoom; the anchor stays as chosen. Each move
// gives the settings with the offsets it reached (whole units within their
// range, as the offset fields take them); the window writes the two offset
// controls and refreshes. The history records a drag as one step, after it
// ends.
//
// No widgets; used by the window on the GUI thread.

#include <QPointF>
#include <QSize>
#include <optional>
#include <utility>

#include "imaging/EffectSettings.h"
#include "imaging/ImageTools.h"

namespace tintreel {

struct ControlRow;

class WatermarkDrag {
public:
    // The offset pair a drag of `kind` moves: x, then y.
    static std::pair<const ControlRow*, const ControlRow*> offsetControls(WatermarkKind kind);

    // Starts dragging `kind` from `framePoint`, with the offsets `settings` hold now.
    void begin(WatermarkKind kind, QPointF framePoint, const EffectSettings& settings);
    // The pointer is at `framePoint` over a frame of `frameSize`: `settings`
    // with the offsets the drag reaches there, or nothing when no drag runs
    // or the offsets stay as they are.
    std::optional<EffectSettings> moveTo(QPointF framePoint, QSize frameSize, EffectSettings settings);
    // Ends the drag; true when it moved the watermark (so it is to be recorded).
    bool end();

    bool isActive() const { return drag_.has_value(); }
    // The watermark being dragged, if any.
    std::optional<WatermarkKind> kind() const;

private:
    struct Drag {
        WatermarkKind kind;
        QPointF start;         // frame pixels
        QPointF startOffsets;  // the offsets then
        bool moved = false;
    };
    std::optional<Drag> drag_;
};

}  // namespace tintreel
