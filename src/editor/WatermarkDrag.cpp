#include "editor/WatermarkDrag.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "imaging/WatermarkPosition.h"
#include "imaging/WatermarkScale.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

// The factor the dragged watermark's numbers are multiplied by when a frame
// of this size is drawn: with "Scale with Video" off a pixel of pointer move
// is a unit of offset, with it on a unit is worth the factor's pixels.
double numberScaleOf(WatermarkKind kind, const EffectSettings& settings, QSize frame) {
    const int scaleWithVideo =
        kind == WatermarkKind::Text ? settings.checkTextScaleWithVideo : settings.checkImageScaleWithVideo;
    return watermarkScaleFactor(scaleWithVideo != 0, frame.width(), frame.height());
}

// The offset a drag reaches: whole units, as the offset fields take them,
// within the offset's range.
float draggedOffset(const ControlRow& control, double start, double change) {
    return std::clamp(static_cast<float>(std::round(start + change)), control.minimum, control.maximum);
}

}  // namespace

std::pair<const ControlRow*, const ControlRow*> WatermarkDrag::offsetControls(WatermarkKind kind) {
    if (kind == WatermarkKind::Text)
        return {findControl("stepperTextXOffset"), findControl("stepperTextYOffset")};
    return {findControl("stepperImageXOffset"), findControl("stepperImageYOffset")};
}

void WatermarkDrag::begin(WatermarkKind kind, QPointF framePoint, const EffectSettings& settings) {
    const auto [x, y] = offsetControls(kind);
    drag_ = Drag{kind, framePoint, QPointF(x->number.of(settings), y->number.of(settings))};
}

std::optional<EffectSettings> WatermarkDrag::moveTo(QPointF framePoint, QSize frameSize,
                                                    EffectSettings settings) {
    if (!drag_) return std::nullopt;
    const QPointF change =
        offsetChangeForMove(framePoint - drag_->start, numberScaleOf(drag_->kind, settings, frameSize));
    bool changed = false;
    const auto [x, y] = offsetControls(drag_->kind);
    for (const auto& [control, start, delta] : {std::tuple(x, drag_->startOffsets.x(), change.x()),
                                                std::tuple(y, drag_->startOffsets.y(), change.y())}) {
        const float value = draggedOffset(*control, start, delta);
        if (value == control->number.of(settings)) continue;
        control->number.of(settings) = value;
        control->text.of(settings) = pairText(*control, value);
        changed = true;
    }
    if (!changed) return std::nullopt;
    drag_->moved = true;
    return settings;
}

bool WatermarkDrag::end() {
    const bool moved = drag_ && drag_->moved;
    drag_.reset();
    return moved;
}

std::optional<WatermarkKind> WatermarkDrag::kind() const {
    if (!drag_) return std::nullopt;
    return drag_->kind;
}

}  // namespace tintreel
