#pragma once
// FloatSlider: a horizontal slider whose value is a 32-bit float. The value
// read back is exactly the float that was set (0.71 reads back as 0.71f); the
// integer track of QSlider only approximates it. Moving the track by hand
// sets the value from the track position and emits `activated`; so does a
// double click, which returns the slider to its default value.
//
// GUI thread only.

#include <QSlider>

#include "platform/ui/BoundedNumber.h"

namespace tintreel {

class FloatSlider : public QSlider {
    Q_OBJECT
public:
    explicit FloatSlider(QWidget* parent = nullptr);

    void setFloatRange(float minimum, float maximum);
    float floatMinimum() const { return number_.minimum(); }
    float floatMaximum() const { return number_.maximum(); }

    float floatValue() const { return number_.value(); }
    // Sets the value exactly (clamped into the range) without emitting `activated`.
    void setFloatValue(float value);
    // Sets the value as the user's own move: emits `activated` when it changed.
    void setFloatValueByUser(float value);
    // The value a double click returns to.
    void setDefaultValue(float value) { defaultValue_ = value; }

Q_SIGNALS:
    // The user moved the slider (by mouse, wheel, keyboard, double click or
    // a typed value).
    void activated();
    // The value changed, by the user or by the program.
    void floatValueChanged(float value);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    static constexpr int kTrackSteps = 1000;
    int trackPosition(float value) const;
    void onTrackMoved(int position);

    BoundedNumber<float> number_{0.0f, 1.0f};
    float defaultValue_ = 0;
    bool settingProgrammatically_ = false;
};

}  // namespace tintreel
