#include "platform/ui/ColorWell.h"

#include "platform/ui/Dialogs.h"

namespace tintreel {

ColorWell::ColorWell(Dialogs& dialogs, QWidget* parent) : QPushButton(parent), dialogs_(dialogs) {
    setFixedSize(44, 24);
    setColor(color_);
    connect(this, &QPushButton::clicked, this, &ColorWell::choose);
}

void ColorWell::setColor(const QColor& color) {
    color_ = color;
    setStyleSheet(QStringLiteral("QPushButton { background: %1; border: 1px solid #555; border-radius: 3px; }")
                      .arg(color.name(QColor::HexRgb)));
}

void ColorWell::choose() {
    const std::optional<QColor> chosen = dialogs_.chooseColor(color_);
    if (!chosen || *chosen == color_) return;
    setColor(*chosen);
    Q_EMIT activated();
}

}  // namespace tintreel
