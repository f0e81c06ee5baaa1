#pragma once
// SliderValueField: the number shown beside a FloatSlider, in the units a
// user thinks in (the slider's value times a scale, with a unit such as "%"
// or "°"). It follows the slider, whoever moves it; a typed number is
// clamped to the slider's range and moves the slider as the user's own move
// (FloatSlider::activated), so the editor treats it like a drag. It is
// enabled exactly when its slider is.
//
// The field does not own the slider; both belong to the window's widget
// tree. GUI thread only.

#include <QDoubleSpinBox>

namespace tintreel {

class FloatSlider;

class SliderValueField : public QDoubleSpinBox {
    Q_OBJECT
public:
    // `scale` multiplies the slider's value for display; `unit` follows the
    // number; `decimals` places are shown and accepted.
    SliderValueField(FloatSlider* slider, double scale, const QString& unit, int decimals,
                     QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showSliderValue(float value);
    void applyTypedValue();

    FloatSlider* slider_;
    double scale_;
    double shown_ = 0;  // the number last shown for the slider
};

}  // namespace tintreel
