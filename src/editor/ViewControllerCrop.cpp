// ViewController: crop mode. The Crop button switches it; while it is on
// the preview shows the whole upright frame with the crop outlined, a drag
// on it draws a new crop (a plain click only gives the preview the keys),
// and a row under the commands shows the crop as X, Y, W and H in frame
// pixels, takes typed values (even sizes, kept inside the frame) and clears
// it. Switching it off shows the cropped, reframed picture again. The crop
// belongs to the video: the session keeps it, the look's history does not
// record it.
//
// Outside crop mode, when the look crops the frame to fill another aspect,
// a drag on the fitted preview moves the part of the frame it shows: the
// picture follows the pointer and the look's focus point with it, recorded
// as one change when the drag ends.
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <array>

#include "editor/ControlBinding.h"
#include "editor/ViewController.h"
#include "preview/PreviewArea.h"
#include "settings/ControlCatalogue.h"
#include "preview/VideoImageView.h"

namespace tintreel {
namespace {

struct CropField {
    std::string_view outlet;
    const char* label;
    const char* tip;
};
constexpr std::array<CropField, 4> kCropFields{{
    {"spinCropX", "X", "The crop's left edge, in pixels of the upright frame"},
    {"spinCropY", "Y", "The crop's top edge, in pixels of the upright frame"},
    {"spinCropWidth", "W", "The crop's width, in pixels (even)"},
    {"spinCropHeight", "H", "The crop's height, in pixels (even)"},
}};

// `wanted` kept inside a frame of `frame`, with even sizes of at least 2
// (the frame's own when it is smaller).
PixelRect fitCrop(PixelRect wanted, QSize frame) {
    const auto even = [](int value, int limit) { return std::max(std::min(2, limit), std::min(value, limit) & ~1); };
    PixelRect rect;
    rect.x = std::clamp(wanted.x, 0, std::max(0, frame.width() - 2));
    rect.y = std::clamp(wanted.y, 0, std::max(0, frame.height() - 2));
    rect.width = even(wanted.width, frame.width() - rect.x);
    rect.height = even(wanted.height, frame.height() - rect.y);
    return rect;
}

}  // namespace

QWidget* ViewController::buildCropFields() {
    auto* row = outlets_.add(new QWidget, "rowCrop");
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Crop")));
    for (const CropField& field : kCropFields) {
        layout->addWidget(new QLabel(tr(field.label)));
        auto* spin = outlets_.add(new QSpinBox, field.outlet);
        spin->setToolTip(tr(field.tip));
        spin->setKeyboardTracking(false);  // one change when the typing ends, not one per digit
        connect(spin, &QSpinBox::valueChanged, this, &ViewController::onCropFieldsEdited);
        layout->addWidget(spin);
    }
    auto* clear = outlets_.add(new QPushButton(tr("Clear Crop")), "buttonClearCrop");
    clear->setToolTip(tr("Keep the whole frame again"));
    connect(clear, &QPushButton::clicked, this, &ViewController::clearCrop);
    layout->addWidget(clear);
    layout->addStretch();
    row->hide();
    return row;
}

// The fields show the crop, or the whole frame when there is none.
void ViewController::showCropInFields() {
    const QSize frame(snapshot_->width(), snapshot_->height());
    const PixelRect shown = crop_.value_or(PixelRect{0, 0, frame.width(), frame.height()});
    const std::array<int, 4> values{shown.x, shown.y, shown.width, shown.height};
    const std::array<int, 4> maxima{frame.width(), frame.height(), frame.width(), frame.height()};
    for (std::size_t i = 0; i < kCropFields.size(); ++i) {
        auto* spin = outlets_.get<QSpinBox>(kCropFields[i].outlet);
        const QSignalBlocker quiet(spin);
        spin->setRange(0, std::max(0, maxima[i]));
        spin->setSingleStep(i < 2 ? 1 : 2);
        spin->setValue(values[i]);
    }
}

void ViewController::onCropFieldsEdited() {
    if (snapshot_->isEmpty()) return;
    const QSize frame(snapshot_->width(), snapshot_->height());
    const auto value = [this](std::size_t i) { return outlets_.get<QSpinBox>(kCropFields[i].outlet)->value(); };
    const PixelRect rect = fitCrop({value(0), value(1), value(2), value(3)}, frame);
    const bool whole = rect.x == 0 && rect.y == 0 && rect.width >= (frame.width() & ~1) &&
                       rect.height >= (frame.height() & ~1);
    placeCrop(whole ? std::nullopt : std::optional(rect));
}

void ViewController::clearCrop() {
    placeCrop(std::nullopt);
}

// Makes `crop` the video's, outlined in crop mode and applied outside it.
void ViewController::placeCrop(std::optional<PixelRect> crop) {
    crop_ = crop;
    sessionKeeper_.changed();
    controls_.imageView->setCropOverlay(crop_ ? std::optional(QRectF(crop_->x, crop_->y, crop_->width, crop_->height))
                                              : std::nullopt);
    showCropInFields();
    if (!cropMode_) UpdateImageEffect();
}

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
        if (const std::optional<PixelRect> drawn = cropDrag_.end()) placeCrop(drawn);
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
    showCropInFields();
    outlets_.get<QWidget>("rowCrop")->setVisible(on);
    UpdateImageEffect();
}

bool ViewController::dragsFocus() const {
    const ShapeChoice shape = lookGeometry(currentSettings());
    return !cropMode_ && !snapshot_->isEmpty() && shape.aspect > 0 && shape.fill == ReframeFill::Crop &&
           controls_.previewArea->zoomFactor() <= 1.0 + 1e-9;
}

void ViewController::moveFocusBy(const QPointF& delta) {
    const QRect picture = controls_.imageView->pictureRect();
    if (picture.isEmpty()) return;
    const EffectSettings settings = currentSettings();
    const double aspect = lookGeometry(settings).aspect;
    const QSizeF frame = crop_ ? QSizeF(crop_->width, crop_->height) : QSizeF(snapshot_->width(), snapshot_->height());
    // The part of the frame the canvas shows, in frame pixels.
    const QSizeF shown = frame.width() / frame.height() > aspect ? QSizeF(frame.height() * aspect, frame.height())
                                                                 : QSizeF(frame.width(), frame.width() / aspect);
    EffectSettings moved = settings;
    moved.sliderReframeFocusX = static_cast<float>(std::clamp(
        settings.sliderReframeFocusX - delta.x() * shown.width() / picture.width() / frame.width(), 0.0, 1.0));
    moved.sliderReframeFocusY = static_cast<float>(std::clamp(
        settings.sliderReframeFocusY - delta.y() * shown.height() / picture.height() / frame.height(), 0.0, 1.0));
    for (std::string_view name : {"sliderReframeFocusX", "sliderReframeFocusY"})
        writeControl(outlets_, *findControl(name), moved);
    focusDragging_ = true;
    UpdateImageEffect();
}

// The refresh that shows where the drag ended records it.
void ViewController::endFocusDrag() {
    if (!focusDragging_) return;
    focusDragging_ = false;
    UpdateImageEffect();
}

}  // namespace tintreel
