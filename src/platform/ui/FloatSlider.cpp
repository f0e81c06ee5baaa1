#include "platform/ui/FloatSlider.h"

#include <algorithm>
#include <cmath>

namespace tintreel {

FloatSlider::FloatSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    QSlider::setRange(0, kTrackSteps);
    setPageStep(kTrackSteps / 20);
    connect(this, &QSlider::valueChanged, this, &FloatSlider::onTrackMoved);
}

void FloatSlider::setFloatRange(float minimum, float maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    setFloatValue(value_);
}

void FloatSlider::setFloatValue(float value) {
    value_ = std::isnan(value) ? minimum_ : std::clamp(value, minimum_, maximum_);
    settingProgrammatically_ = true;
    setValue(trackPosition(value_));
    settingProgrammatically_ = false;
}

int FloatSlider::trackPosition(float value) const {
    if (maximum_ <= minimum_) return 0;
    const double fraction = (static_cast<double>(value) - minimum_) / (static_cast<double>(maximum_) - minimum_);
    return static_cast<int>(std::lround(fraction * kTrackSteps));
}

void FloatSlider::onTrackMoved(int position) {
    if (settingProgrammatically_) return;
    const double fraction = static_cast<double>(position) / kTrackSteps;
    value_ = static_cast<float>(minimum_ + fraction * (static_cast<double>(maximum_) - minimum_));
    Q_EMIT activated();
}

}  // namespace tintreel
