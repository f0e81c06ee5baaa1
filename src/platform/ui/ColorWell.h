#pragma once
// ColorWell: a button that shows a colour swatch and lets the user pick a new
// colour through the Dialogs seam. Emits `activated` when the colour changed.
//
// GUI thread only.

#include <QColor>
#include <QPushButton>

namespace tintreel {

class Dialogs;

class ColorWell : public QPushButton {
    Q_OBJECT
public:
    ColorWell(Dialogs& dialogs, QWidget* parent = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor& color);

Q_SIGNALS:
    void activated();

private:
    void choose();

    Dialogs& dialogs_;
    QColor color_ = Qt::white;
};

}  // namespace tintreel
