#pragma once
// Stepper: two small arrow buttons that nudge a number up and down by an
// increment within a range. It holds the authoritative number of a numeric
// pair; the text field beside it only shows it. Every press emits `activated`,
// also when the value is already at a bound and did not change.
//
// GUI thread only.

#include <QWidget>

#include "platform/ui/BoundedNumber.h"

class QToolButton;

namespace tintreel {

class Stepper : public QWidget {
    Q_OBJECT
public:
    explicit Stepper(QWidget* parent = nullptr);

    void setRange(double minimum, double maximum);
    void setIncrement(double increment) { increment_ = increment; }
    double minimum() const { return number_.minimum(); }
    double maximum() const { return number_.maximum(); }
    double increment() const { return increment_; }

    double doubleValue() const { return number_.value(); }
    float floatValue() const { return static_cast<float>(number_.value()); }
    // Sets the value (clamped into the range) without emitting `activated`.
    void setDoubleValue(double value);

    void stepUp() { step(+1); }
    void stepDown() { step(-1); }

Q_SIGNALS:
    void activated();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void step(int direction);

    QToolButton* up_;
    QToolButton* down_;
    BoundedNumber<double> number_{0.0, 100.0};
    double increment_ = 1.0;
};

}  // namespace tintreel
