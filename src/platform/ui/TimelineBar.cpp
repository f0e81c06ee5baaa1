#include "platform/ui/TimelineBar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <optional>

namespace tintreel {
namespace {

constexpr double kHandleRadius = 7.0;
constexpr double kGrooveHeight = 4.0;

std::optional<TimelineBar::Step> stepOf(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const bool shift = modifiers == Qt::ShiftModifier;
    if (modifiers != Qt::NoModifier && !shift) return std::nullopt;
    switch (event.key()) {
        case Qt::Key_Left:
            return shift ? TimelineBar::Step::BackSecond : TimelineBar::Step::PreviousFrame;
        case Qt::Key_Right:
            return shift ? TimelineBar::Step::ForwardSecond : TimelineBar::Step::NextFrame;
        case Qt::Key_Home:
            return shift ? std::nullopt : std::optional(TimelineBar::Step::Start);
        case Qt::Key_End:
            return shift ? std::nullopt : std::optional(TimelineBar::Step::End);
        default:
            return std::nullopt;
    }
}

// I and O set, Alt+I and Alt+O clear a point; other modifiers leave them to others.
std::optional<std::pair<TimelineBar::Mark, bool>> markOf(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier && modifiers != Qt::AltModifier) return std::nullopt;
    const bool clear = modifiers == Qt::AltModifier;
    if (event.key() == Qt::Key_I) return std::pair{TimelineBar::Mark::In, clear};
    if (event.key() == Qt::Key_O) return std::pair{TimelineBar::Mark::Out, clear};
    return std::nullopt;
}

}  // namespace

TimelineBar::TimelineBar(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TimelineBar::setDuration(double seconds) {
    duration_ = std::max(0.0, seconds);
    setPosition(position_);
}

void TimelineBar::setPosition(double seconds) {
    const double clamped = std::clamp(seconds, 0.0, duration_);
    if (clamped == position_) return;
    position_ = clamped;
    update();
}

void TimelineBar::setSpanMarks(std::optional<double> in, std::optional<double> out) {
    if (in == in_ && out == out_) return;
    in_ = in;
    out_ = out;
    update();
}

void TimelineBar::takeKeysOf(QWidget* other) {
    other->installEventFilter(this);
}

bool TimelineBar::handleKey(const QKeyEvent& event) {
    if (!isEnabled()) return false;
    if (event.key() == Qt::Key_Space && event.modifiers() == Qt::NoModifier) {
        if (!event.isAutoRepeat()) Q_EMIT playRequested();
        return true;
    }
    if (const auto mark = markOf(event)) {
        Q_EMIT markRequested(mark->first, mark->second);
        return true;
    }
    const std::optional<Step> step = stepOf(event);
    if (step) Q_EMIT stepRequested(*step);
    return step.has_value();
}

bool TimelineBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<const QKeyEvent&>(*event))) return true;
    return QWidget::eventFilter(watched, event);
}

void TimelineBar::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(*event)) QWidget::keyPressEvent(event);
}

void TimelineBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    requestAt(event->position().x());
}

void TimelineBar::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    requestAt(event->position().x());
}

// The handle follows the pointer at once; the owner moves it to the frame it finds.
void TimelineBar::requestAt(double x) {
    const QRectF track = groove();
    if (duration_ <= 0 || track.width() <= 0) return;
    const double seconds = std::clamp((x - track.left()) / track.width(), 0.0, 1.0) * duration_;
    if (seconds == position_) return;
    setPosition(seconds);
    Q_EMIT positionRequested(seconds);
}

QRectF TimelineBar::groove() const {
    return QRectF(kHandleRadius + 1, (height() - kGrooveHeight) / 2, width() - 2 * (kHandleRadius + 1),
                  kGrooveHeight);
}

double TimelineBar::xOf(double seconds) const {
    const QRectF track = groove();
    return duration_ > 0 ? track.left() + track.width() * seconds / duration_ : track.left();
}

void TimelineBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    const QRectF track = groove();
    painter.setPen(Qt::NoPen);
    // A shade above the buttons, so the groove shows against the window.
    painter.setBrush(colours.color(QPalette::Button).lighter(160));
    painter.drawRoundedRect(track, kGrooveHeight / 2, kGrooveHeight / 2);
    if (in_ || out_) {
        // The span shaded across the bar's height, each set point a tick.
        const double left = xOf(in_.value_or(0.0)), right = xOf(out_.value_or(duration_));
        QColor shade = colours.color(QPalette::Highlight);
        shade.setAlphaF(0.25);
        painter.fillRect(QRectF(left, 0, right - left, height()), shade);
        painter.setBrush(colours.color(QPalette::Highlight));
        for (const std::optional<double>& point : {in_, out_})
            if (point) painter.drawRect(QRectF(xOf(*point) - 1, 0, 2, height()));
    }
    const double handleX = xOf(position_);
    painter.setBrush(colours.color(QPalette::Highlight));
    painter.drawRoundedRect(QRectF(track.left(), track.top(), handleX - track.left(), track.height()),
                            kGrooveHeight / 2, kGrooveHeight / 2);
    // The handle is ringed in the highlight while the bar has the keys.
    painter.setPen(hasFocus() ? QPen(colours.color(QPalette::Highlight), 2) : Qt::NoPen);
    painter.setBrush(colours.color(QPalette::ButtonText));
    painter.drawEllipse(QPointF(handleX, height() / 2.0), kHandleRadius - 1, kHandleRadius - 1);
}

QSize TimelineBar::sizeHint() const {
    return {320, 2 * static_cast<int>(kHandleRadius) + 8};
}

QSize TimelineBar::minimumSizeHint() const {
    return {80, 2 * static_cast<int>(kHandleRadius) + 8};
}

}  // namespace tintreel
