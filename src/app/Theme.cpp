#include "app/Theme.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace tintreel {
namespace {

// The root view's grey: (0.15, 0.15, 0.15).
const QColor kWindow(38, 38, 38);
const QColor kPanel(48, 48, 48);
const QColor kField(30, 30, 30);
const QColor kText(230, 230, 230);
const QColor kAccent(74, 144, 226);

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
QCheckBox::indicator { width: 14px; height: 14px; border: 1px solid rgb(140, 140, 140); border-radius: 3px; background: rgb(30, 30, 30); }
QCheckBox::indicator:checked { background: rgb(74, 144, 226); border-color: rgb(120, 180, 240); image: none; }
QCheckBox::indicator:disabled { border-color: rgb(80, 80, 80); }
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
QTabBar::tab { padding: 6px 10px; background: rgb(44, 44, 44); border: 1px solid rgb(60, 60, 60); border-bottom: none; }
QTabBar::tab:selected { background: rgb(58, 58, 58); color: white; }
QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }
QProgressBar { border: 1px solid rgb(70, 70, 70); border-radius: 3px; background: rgb(30, 30, 30); }
QProgressBar::chunk { background: rgb(74, 144, 226); }
)";

}  // namespace

void applyDarkTheme(QApplication& app) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    app.setPalette(darkPalette());
    app.setStyleSheet(QString::fromLatin1(kStyleSheet));
}

}  // namespace tintreel
