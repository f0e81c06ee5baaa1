#pragma once
// Stepper: two small arrow buttons that nudge a number up and down by an
// increment within a range. It holds the authoritative number of a numeric
// pair; the text field beside it only shows it. Every press emits `activated`,
// also when the value is already at a bound and did not change.
//
// GUI thread only.

#include <QWidget>

class QToolButton;

namespace tintreel {

class Stepper : public QWidget {
    Q_OBJECT
public:
    explicit Stepper(QWidget* parent = nullptr);

    void setRange(double minimum, double maximum);
    void setIncrement(double increment) { increment_ = increment; }
    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    double increment() const { return increment_; }

    double doubleValue() const { return value_; }
    float floatValue() const { return static_cast<float>(value_); }
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
    double minimum_ = 0.0;
    double maximum_ = 100.0;
    double increment_ = 1.0;
    double value_ = 0.0;
};

}  // namespace tintreel
