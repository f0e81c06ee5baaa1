#pragma once
// BoundedNumber: a number held within a range, the one rule the editor's
// number controls (FloatSlider, Stepper) share. A range given upside down
// collapses to its minimum; NaN becomes the minimum; anything else is clamped.
//
// A plain value: its owner decides which thread touches it.

#include <algorithm>
#include <cmath>

namespace tintreel {

template <typename T>
class BoundedNumber {
public:
    BoundedNumber(T minimum, T maximum) { setRange(minimum, maximum); }

    // Keeps the value, clamped into the new range.
    void setRange(T minimum, T maximum) {
        minimum_ = minimum;
        maximum_ = std::max(minimum, maximum);
        set(value_);
    }
    void set(T value) { value_ = std::isnan(value) ? minimum_ : std::clamp(value, minimum_, maximum_); }

    T minimum() const { return minimum_; }
    T maximum() const { return maximum_; }
    T value() const { return value_; }

private:
    T minimum_ = 0;
    T maximum_ = 0;
    T value_ = 0;
};

}  // namespace tintreel
