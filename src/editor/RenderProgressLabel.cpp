#include "editor/RenderProgressLabel.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <QShowEvent>

namespace tintreel {

RenderProgressLabel::RenderProgressLabel(QWidget* parent) : QLabel(parent) {
    // The label takes the width the row leaves and fits its text to it,
    // rather than asking for the width of its longest text.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void RenderProgressLabel::showReport(const RenderProgress& report) {
    report_ = report;
    fitReport();
}

void RenderProgressLabel::showMessage(const QString& message) {
    report_.reset();
    setText(message);
    setToolTip({});
}

void RenderProgressLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (report_) fitReport();
}

void RenderProgressLabel::showEvent(QShowEvent* event) {
    QLabel::showEvent(event);
    if (report_) fitReport();
}

// A label not on screen has not been given its width yet: it holds the
// whole text until it is shown.
void RenderProgressLabel::fitReport() {
    const QFontMetrics metrics(font());
    const int room = contentsRect().width();
    const bool laidOut = isVisible();
    const std::string label = progressLabel(*report_, [&](const std::string& text) {
        return !laidOut || metrics.horizontalAdvance(QString::fromStdString(text)) <= room;
    });
    setText(QString::fromStdString(label));
    setToolTip(QString::fromStdString(progressLabel(*report_)));
}

}  // namespace tintreel
