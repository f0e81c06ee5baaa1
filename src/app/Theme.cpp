#include "app/Theme.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <algorithm>

namespace tintreel {
namespace {

// The root view's grey: (0.15, 0.15, 0.15).
const QColor kWindow(38, 38, 38);
const QColor kPanel(48, 48, 48);
const QColor kField(30, 30, 30);
const QColor kText(230, 230, 230);
const QColor kAccent(74, 144, 226);
const QColor kAccentBorder(120, 180, 240);
const QColor kBoxBorder(140, 140, 140);
const QColor kDimmed(80, 80, 80);

QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, kWindow);
    p.setColor(QPalette::WindowText, kText);
    p.setColor(QPalette::Base, kField);
    p.setColor(QPalette::AlternateBase, kPanel);
    p.setColor(QPalette::ToolTipBase, kPanel);
    p.setColor(QPalette::ToolTipText, kText);
    p.setColor(QPalette::Text, kText);
    p.setColor(QPalette::Button, kPanel);
    p.setColor(QPalette::ButtonText, kText);
    p.setColor(QPalette::Highlight, kAccent);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, kAccent);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(42, 42, 42));
    return p;
}

constexpr const char* kStyleSheet = R"(
#rootView { background: rgb(38, 38, 38); }
QFrame[role="group"] { background: rgb(46, 46, 46); border: 1px solid rgb(60, 60, 60); border-radius: 6px; }
QFrame[role="previewBox"] { background: black; border: 1px solid rgb(70, 70, 70); border-radius: 4px; }
QCheckBox[role="caption"], QLabel[role="caption"] { color: white; font-family: "Skia"; font-size: 13px; font-weight: 600; }
QPushButton { padding: 4px 12px; border: 1px solid rgb(78, 78, 78); border-radius: 4px; background: rgb(58, 58, 58); }
QPushButton:hover { background: rgb(68, 68, 68); }
QPushButton:pressed { background: rgb(50, 50, 50); }
QPushButton:disabled { color: rgb(110, 110, 110); border-color: rgb(60, 60, 60); }
QPushButton[role="command"] { min-width: 110px; }
QPushButton#buttonGeneratePreview:enabled { background: rgb(46, 98, 160); border-color: rgb(70, 130, 200); }
QPushButton[role="reset"] { padding: 2px 8px; font-size: 11px; }
QPushButton[role="zoom"] { padding: 0; }
QLineEdit { padding: 2px 4px; border: 1px solid rgb(70, 70, 70); border-radius: 3px; background: rgb(30, 30, 30); }
QLineEdit:read-only { color: rgb(190, 190, 190); background: rgb(36, 36, 36); }
QComboBox { padding: 2px 6px; }
QTabWidget::pane { border: 1px solid rgb(60, 60, 60); border-radius: 4px; top: -1px; }
QTabBar::tab { padding: 6px 8px; background: rgb(44, 44, 44); border: 1px solid rgb(60, 60, 60); border-bottom: none; }
QTabBar::tab:selected { background: rgb(58, 58, 58); color: white; }
QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }
QProgressBar { border: 1px solid rgb(70, 70, 70); border-radius: 3px; background: rgb(30, 30, 30); }
QProgressBar::chunk { background: rgb(74, 144, 226); }
)";

// A white tick on the accent colour, a dash for a partial state; the box's
// light border keeps it visible on the dark window while unchecked.
void drawCheckBox(const QStyleOption& option, QPainter& painter) {
    const bool enabled = option.state & QStyle::State_Enabled;
    const bool partial = option.state & QStyle::State_NoChange;
    const bool marked = partial || (option.state & QStyle::State_On);
    const QRectF box = QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(!enabled ? kDimmed : marked ? kAccentBorder : kBoxBorder);
    painter.setBrush(!marked ? kField : enabled ? kAccent : kDimmed);
    painter.drawRoundedRect(box, 3, 3);
    if (marked) {
        const auto at = [&box](double x, double y) {
            return QPointF(box.left() + x * box.width(), box.top() + y * box.height());
        };
        painter.setPen(QPen(enabled ? Qt::white : kText.darker(160), std::max(1.5, box.width() / 7),
                            Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        if (partial)
            painter.drawLine(at(0.25, 0.5), at(0.75, 0.5));
        else
            painter.drawPolyline(QPolygonF{at(0.24, 0.52), at(0.42, 0.72), at(0.77, 0.3)});
    }
    painter.restore();
}

// Fusion draws the check box frame in a shade of the window colour, which
// vanishes on a dark window (the box of an unchecked menu item with it);
// this style draws the box and its tick itself, for check boxes and
// checkable menu items alike, and leaves the rest to Fusion.
class DarkStyle : public QProxyStyle {
public:
    DarkStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorCheckBox) return drawCheckBox(*option, *painter);
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

}  // namespace

void applyDarkTheme(QApplication& app) {
    app.setStyle(new DarkStyle);
    app.setPalette(darkPalette());
    app.setStyleSheet(QString::fromLatin1(kStyleSheet));
}

}  // namespace tintreel
