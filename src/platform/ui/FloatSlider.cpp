#include "platform/ui/FloatSlider.h"

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
    Q_EMIT activated();
}

}  // namespace tintreel
