#include <gtest/gtest.h>

#include <QSignalSpy>

#include "platform/ui/BoundedNumber.h"
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

// The rule both number controls keep: a narrowed range pulls the value in, a
// range given upside down collapses to its minimum, NaN becomes the minimum.
TEST(BoundedNumber, NarrowedAndUpsideDownRangesAndNaN) {
    BoundedNumber<double> number(0, 10);
    number.set(8);
    number.setRange(-2, 4);
    EXPECT_EQ(number.value(), 4.0);
    number.setRange(3, 1);
    EXPECT_EQ(number.maximum(), 3.0);
    EXPECT_EQ(number.value(), 3.0);
    number.setRange(-1, 1);
    number.set(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(number.value(), -1.0);
}

}  // namespace
}  // namespace tintreel
