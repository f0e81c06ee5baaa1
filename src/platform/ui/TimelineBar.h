#pragma once
// TimelineBar: a scrubber over a whole movie. It draws a groove from 0 to
// the duration, the part before the position filled, and a handle at the
// position. A press or a drag asks for the time under the pointer; keys ask
// for steps (Left/Right a frame, Shift+Left/Shift+Right a second, Home and
// End the ends), Space for play or pause, I and O to put the in or out
// point at the position and Alt+I and Alt+O to clear it. The bar only asks: the owner of
// the movie answers with setPosition, so what it shows is the frame it has.
// A widget handed to takeKeysOf (the preview) passes the same keys on while
// it has the focus. The span between the in and out points is shaded, each
// point marked with a tick.
//
// Holds no movie. GUI thread only.

#include <QWidget>
#include <optional>

class QKeyEvent;

namespace tintreel {

class TimelineBar : public QWidget {
    Q_OBJECT
public:
    enum class Step { PreviousFrame, NextFrame, BackSecond, ForwardSecond, Start, End };
    enum class Mark { In, Out };

    explicit TimelineBar(QWidget* parent = nullptr);

    // The length of the groove; the position is clamped into it.
    void setDuration(double seconds);
    double duration() const { return duration_; }
    // Moves the handle without asking for anything.
    void setPosition(double seconds);
    double position() const { return position_; }
    // The in and out points drawn; none: the start, the end (no tick).
    void setSpanMarks(std::optional<double> in, std::optional<double> out);

    // Key presses that reach `other` are taken as if the bar had them.
    void takeKeysOf(QWidget* other);
    // Acts on one of the bar's keys; false for any other key, and for every
    // key while the bar is disabled.
    bool handleKey(const QKeyEvent& event);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // The pointer pressed or dragged to `seconds` (within 0 ... duration).
    void positionRequested(double seconds);
    void stepRequested(TimelineBar::Step step);
    void playRequested();
    // I or O: the point at the position; Alt+I or Alt+O: cleared.
    void markRequested(TimelineBar::Mark mark, bool clear);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF groove() const;
    double xOf(double seconds) const;
    void requestAt(double x);

    double duration_ = 0.0;
    double position_ = 0.0;
    std::optional<double> in_, out_;
};

}  // namespace tintreel
