#include "platform/ui/FloatSlider.h"

#include <QMouseEvent>
#include <cmath>

namespace tintreel {

FloatSlider::FloatSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    QSlider::setRange(0, kTrackSteps);
    setPageStep(kTrackSteps / 20);
    connect(this, &QSlider::valueChanged, this, &FloatSlider::onTrackMoved);
}

void FloatSlider::setFloatRange(float minimum, float maximum) {
    number_.setRange(minimum, maximum);
    setFloatValue(number_.value());
}

void FloatSlider::setFloatValue(float value) {
    number_.set(value);
    settingProgrammatically_ = true;
    setValue(trackPosition(number_.value()));
    settingProgrammatically_ = false;
    Q_EMIT floatValueChanged(number_.value());
}

void FloatSlider::setFloatValueByUser(float value) {
    const float before = number_.value();
    setFloatValue(value);
    if (number_.value() != before) Q_EMIT activated();
}

void FloatSlider::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    setFloatValueByUser(defaultValue_);
}

int FloatSlider::trackPosition(float value) const {
    const double minimum = number_.minimum();
    const double maximum = number_.maximum();
    if (maximum <= minimum) return 0;
    const double fraction = (static_cast<double>(value) - minimum) / (maximum - minimum);
    return static_cast<int>(std::lround(fraction * kTrackSteps));
}

void FloatSlider::onTrackMoved(int position) {
    if (settingProgrammatically_) return;
    const double fraction = static_cast<double>(position) / kTrackSteps;
    const double minimum = number_.minimum();
    number_.set(static_cast<float>(minimum + fraction * (number_.maximum() - minimum)));
    Q_EMIT floatValueChanged(number_.value());
    Q_EMIT activated();
}

}  // namespace tintreel
