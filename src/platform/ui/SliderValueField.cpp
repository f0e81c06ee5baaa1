#include "platform/ui/SliderValueField.h"

#include <QEvent>
#include <QSignalBlocker>

#include "platform/ui/FloatSlider.h"

namespace tintreel {

SliderValueField::SliderValueField(FloatSlider* slider, double scale, const QString& unit, int decimals,
                                   QWidget* parent)
    : QDoubleSpinBox(parent), slider_(slider), scale_(scale) {
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setAlignment(Qt::AlignRight);
    setKeyboardTracking(false);  // a value counts once it is typed, not per keystroke
    setDecimals(decimals);
    setSuffix(unit);
    setRange(slider->floatMinimum() * scale, slider->floatMaximum() * scale);
    setSingleStep((maximum() - minimum()) / 100.0);  // arrow keys and the wheel move 1 % of the range
    showSliderValue(slider->floatValue());
    setEnabled(slider->isEnabled());
    slider->installEventFilter(this);
    connect(slider, &FloatSlider::floatValueChanged, this, &SliderValueField::showSliderValue);
    connect(this, &QAbstractSpinBox::editingFinished, this, &SliderValueField::applyTypedValue);
}

void SliderValueField::showSliderValue(float value) {
    const QSignalBlocker quiet(this);
    setValue(value * scale_);
    shown_ = this->value();  // rounded to the places shown
}

void SliderValueField::applyTypedValue() {
    // Leaving the field without typing must not round the slider's value.
    if (value() == shown_) return;
    slider_->setFloatValueByUser(static_cast<float>(value() / scale_));
    showSliderValue(slider_->floatValue());  // the slider's own clamped value
}

bool SliderValueField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == slider_ && event->type() == QEvent::EnabledChange) setEnabled(slider_->isEnabled());
    return QDoubleSpinBox::eventFilter(watched, event);
}

}  // namespace tintreel
