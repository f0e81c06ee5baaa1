#include "platform/ui/Stepper.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace tintreel {
namespace {

QToolButton* makeArrow(Qt::ArrowType arrow, const QString& name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setObjectName(name);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(18, 12);
    return button;
}

}  // namespace

Stepper::Stepper(QWidget* parent)
    : QWidget(parent),
      up_(makeArrow(Qt::UpArrow, "stepUp", this)),
      down_(makeArrow(Qt::DownArrow, "stepDown", this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(up_, &QToolButton::clicked, this, &Stepper::stepUp);
    connect(down_, &QToolButton::clicked, this, &Stepper::stepDown);
}

void Stepper::setRange(double minimum, double maximum) { number_.setRange(minimum, maximum); }

void Stepper::setDoubleValue(double value) { number_.set(value); }

void Stepper::step(int direction) {
    number_.set(number_.value() + direction * increment_);
    Q_EMIT activated();
}

void Stepper::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) return stepUp();
    if (event->key() == Qt::Key_Down) return stepDown();
    QWidget::keyPressEvent(event);
}

}  // namespace tintreel
