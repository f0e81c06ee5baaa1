// ViewController: placing a watermark by dragging it on the still preview.
// The drag moves the watermark's offset pair by the pointer's move in frame
// pixels, so it follows the pointer at any zoom; the anchor stays as chosen.
// The fields show the numbers as they change; the history records the drag
// as one step when the pointer is let go.
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "editor/ControlBinding.h"
#include "editor/ViewController.h"
#include "imaging/ImageTools.h"
#include "imaging/WatermarkScale.h"
#include "imaging/WatermarkPosition.h"
#include "preview/VideoImageView.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

// The offset pair of each watermark: x, then y.
std::pair<const ControlSpec*, const ControlSpec*> offsetControls(WatermarkKind kind) {
    if (kind == WatermarkKind::Text)
        return {findControl("stepperTextXOffset"), findControl("stepperTextYOffset")};
    return {findControl("stepperImageXOffset"), findControl("stepperImageYOffset")};
}

// The factor the dragged watermark's numbers are multiplied by when this
// frame is drawn: with "Scale with Video" off a pixel of pointer move is a
// unit of offset, with it on a unit is worth the factor's pixels.
double numberScaleOf(WatermarkKind kind, const EffectSettings& settings, const Image& frame) {
    const int scaleWithVideo =
        kind == WatermarkKind::Text ? settings.checkTextScaleWithVideo : settings.checkImageScaleWithVideo;
    return watermarkScaleFactor(scaleWithVideo != 0, frame.width(), frame.height());
}

// The offset a drag reaches: whole units, as the offset fields take them,
// within the offset's range.
float draggedOffset(const ControlSpec& control, double start, double change) {
    return std::clamp(static_cast<float>(std::round(start + change)), control.minimum, control.maximum);
}

}  // namespace

void ViewController::connectWatermarkDrag() {
    VideoImageView* view = controls_.imageView;
    view->setWatermarkProbe([this](QPointF point) { return grabbableWatermarkAt(point).has_value(); });
    connect(view, &VideoImageView::watermarkPressed, this, &ViewController::onWatermarkPressed);
    connect(view, &VideoImageView::watermarkDragged, this, &ViewController::onWatermarkDragged);
    connect(view, &VideoImageView::watermarkReleased, this, &ViewController::onWatermarkReleased);
}

std::optional<WatermarkKind> ViewController::grabbableWatermarkAt(QPointF framePoint) const {
    if (snapshot->isEmpty()) return std::nullopt;
    const std::optional<WatermarkKind> kind =
        watermarkAt(currentSettings(), QSize(snapshot->width(), snapshot->height()),
                    QSizeF(logo->width(), logo->height()), framePoint);
    // While a render runs the controls take no input, and neither does this.
    if (!kind || !outlets_.find(offsetControls(*kind).first->outlet)->isEnabled()) return std::nullopt;
    return kind;
}

void ViewController::onWatermarkPressed(const QPointF& framePoint) {
    const std::optional<WatermarkKind> kind = grabbableWatermarkAt(framePoint);
    if (!kind) return;
    const EffectSettings settings = currentSettings();
    const auto [x, y] = offsetControls(*kind);
    watermarkDrag_ =
        WatermarkDrag{*kind, framePoint, QPointF(x->number.of(settings), y->number.of(settings))};
}

void ViewController::onWatermarkDragged(const QPointF& framePoint) {
    if (!watermarkDrag_) return;
    EffectSettings settings = currentSettings();
    const QPointF change = offsetChangeForMove(framePoint - watermarkDrag_->start,
                                               numberScaleOf(watermarkDrag_->kind, settings, *snapshot));
    bool changed = false;
    const auto [x, y] = offsetControls(watermarkDrag_->kind);
    for (const auto& [control, start, delta] :
         {std::tuple(x, watermarkDrag_->startOffsets.x(), change.x()),
          std::tuple(y, watermarkDrag_->startOffsets.y(), change.y())}) {
        const float value = draggedOffset(*control, start, delta);
        if (value == control->number.of(settings)) continue;
        control->number.of(settings) = value;
        control->text.of(settings) = pairText(*control, value);
        writeControl(outlets_, *control, settings);
        changed = true;
    }
    if (!changed) return;
    watermarkDrag_->moved = true;
    UpdateImageEffect();
}

void ViewController::onWatermarkReleased() {
    const bool moved = watermarkDrag_ && watermarkDrag_->moved;
    watermarkDrag_.reset();
    // The refresh that shows where the drag ended records it.
    if (moved) UpdateImageEffect();
}

}  // namespace tintreel
