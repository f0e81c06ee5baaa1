#pragma once
// The label under the preview that shows a render's progress. A report's
// step names are shortened to the label's width so the percentage, speed and
// time left always show; the whole text is the tooltip. It follows the
// label's width as the window is resized.
//
// Threads: GUI thread only.

#include <QLabel>
#include <optional>

#include "settings/ProgressText.h"

namespace tintreel {

class RenderProgressLabel : public QLabel {
    Q_OBJECT
public:
    explicit RenderProgressLabel(QWidget* parent = nullptr);

    void showReport(const RenderProgress& report);
    // A message in place of a report ("Waiting for ..."), shown whole.
    void showMessage(const QString& message);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fitReport();

    std::optional<RenderProgress> report_;
};

}  // namespace tintreel
