#include <gtest/gtest.h>

#include <QSignalSpy>

#include "platform/ui/FloatSlider.h"
#include "platform/ui/Stepper.h"

namespace tintreel {
namespace {

TEST(FloatSlider, ReadsBackTheExactFloatAndOnlyUserMovesEmit) {
    FloatSlider slider;
    slider.setFloatRange(0.0f, 2.0f);
    QSignalSpy activated(&slider, &FloatSlider::activated);
    slider.setFloatValue(0.71f);
    EXPECT_EQ(slider.floatValue(), 0.71f);
    slider.setFloatValue(0.02f);
    EXPECT_EQ(slider.floatValue(), 0.02f);
    EXPECT_EQ(activated.count(), 0);

    slider.setFloatValue(5.0f);
    EXPECT_EQ(slider.floatValue(), 2.0f);  // clamped into the range
    slider.setFloatValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(slider.floatValue(), 0.0f);

    slider.triggerAction(QAbstractSlider::SliderSingleStepAdd);  // as a key press would
    EXPECT_EQ(activated.count(), 1);
    EXPECT_NEAR(slider.floatValue(), 0.002f, 1e-6);
}

TEST(Stepper, StepsWithinItsRangeAndEmitsOnEveryPress) {
    Stepper stepper;
    stepper.setRange(0, 1);
    stepper.setIncrement(0.25);
    QSignalSpy activated(&stepper, &Stepper::activated);
    stepper.stepUp();
    stepper.stepUp();
    EXPECT_EQ(stepper.doubleValue(), 0.5);
    stepper.setDoubleValue(1);
    stepper.stepUp();  // at the bound: no change, still an action
    EXPECT_EQ(stepper.doubleValue(), 1.0);
    EXPECT_EQ(activated.count(), 3);
    stepper.setDoubleValue(-3);
    EXPECT_EQ(stepper.doubleValue(), 0.0);
}

}  // namespace
}  // namespace tintreel
