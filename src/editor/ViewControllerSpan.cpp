// ViewController: the in and out points of the loaded video, the span
// [in, out) a render from the window covers and playback stays inside. I
// and O on the timeline (or the focused preview) put a point at the frame on
// show: the in point at its time, the out point just after it, so the frame
// on show is the span's last. Alt+I and Alt+O clear them; the two time
// fields beside the timeline show and take them. A point set past the other
// clears the other. The points belong to the session, not to the look: no
// profile and no undo step holds them, and a new video starts without.
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <limits>

#include "editor/ViewController.h"
#include "imaging/WatermarkScale.h"
#include "preview/PlaybackEngine.h"

namespace tintreel {
namespace {

QLineEdit* makeSpanField(Outlets& outlets, std::string_view name, const QString& placeholder,
                         const QString& tip) {
    auto* field = outlets.add(new QLineEdit, name);
    field->setPlaceholderText(placeholder);
    field->setToolTip(tip);
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0:00:00.000")) + 12);
    return field;
}

}  // namespace

QWidget* ViewController::buildSpanFields() {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("In")));
    auto* in = makeSpanField(outlets_, "fieldInPoint", tr("start"),
                             tr("Where the render and playback start (I on the timeline; Alt+I clears)"));
    layout->addWidget(in);
    layout->addWidget(new QLabel(tr("Out")));
    auto* out = makeSpanField(outlets_, "fieldOutPoint", tr("end"),
                              tr("Where the render and playback stop (O on the timeline; Alt+O clears)"));
    layout->addWidget(out);
    connect(in, &QLineEdit::editingFinished, this, [this] { onSpanFieldEdited(TimelineBar::Mark::In); });
    connect(out, &QLineEdit::editingFinished, this, [this] { onSpanFieldEdited(TimelineBar::Mark::Out); });
    return box;
}

void ViewController::onTimelineMark(TimelineBar::Mark mark, bool clear) {
    if (videoPath_.isEmpty()) return;
    if (clear) return setSpanPoint(mark, std::nullopt);
    const double position = timelinePosition();
    const bool haveFrames = frameTimes_.count() > 0;
    if (mark == TimelineBar::Mark::In)
        return setSpanPoint(mark, haveFrames ? frameTimes_.at(frameTimes_.indexAt(position)) : position);
    // Just after the frame on show: the next frame's time, or the end after the last.
    const double next = frameTimes_.next(position);
    setSpanPoint(mark, next > position ? next : timelineDuration());
}

void ViewController::onSpanFieldEdited(TimelineBar::Mark mark) {
    const bool isIn = mark == TimelineBar::Mark::In;
    const QString text = outlets_.get<QLineEdit>(isIn ? "fieldInPoint" : "fieldOutPoint")->text().trimmed();
    if (text.isEmpty()) return setSpanPoint(mark, std::nullopt);
    const std::optional<double> seconds = parseTimePoint(text.toStdString());
    // A time that cannot be read leaves the point as it was, shown again.
    if (!seconds || videoPath_.isEmpty()) return showSpan();
    setSpanPoint(mark, std::min(*seconds, timelineDuration()));
}

void ViewController::setSpanPoint(TimelineBar::Mark mark, std::optional<double> seconds) {
    if (mark == TimelineBar::Mark::In) {
        inPoint_ = seconds && *seconds > 0 ? seconds : std::nullopt;
        if (inPoint_ && outPoint_ && *outPoint_ <= *inPoint_) outPoint_.reset();
    } else {
        outPoint_ = seconds && *seconds < timelineDuration() ? seconds : std::nullopt;
        if (seconds && *seconds <= 0) outPoint_.reset();
        if (outPoint_ && inPoint_ && *inPoint_ >= *outPoint_) inPoint_.reset();
    }
    showSpan();
    // Timed watermarks count from the in point: the still shows them as the render will.
    history_.needToSaveState = false;
    UpdateImageEffect();
}

void ViewController::showSpan() {
    const auto text = [](std::optional<double> point) {
        return point ? QString::fromStdString(formatTimePoint(*point)) : QString();
    };
    outlets_.get<QLineEdit>("fieldInPoint")->setText(text(inPoint_));
    outlets_.get<QLineEdit>("fieldOutPoint")->setText(text(outPoint_));
    controls_.timeline->setSpanMarks(inPoint_, outPoint_);
    if (playback_) playback_->setStopTime(outPoint_.value_or(std::numeric_limits<double>::infinity()));
}

double ViewController::spanStart() const {
    return inPoint_.value_or(0.0);
}

// The look as the render applies it to the span: a watermark shown to the
// end fades out as the span ends.
EffectSettings ViewController::lookOnTheSpan() const {
    return watermarksEndingAt(currentSettings(), outPoint_.value_or(videoFacts_.videoSeconds()) - spanStart());
}

std::optional<MovieSpan> ViewController::span() const {
    if (!inPoint_ && !outPoint_) return std::nullopt;
    return MovieSpan{inPoint_.value_or(0.0), outPoint_.value_or(std::numeric_limits<double>::infinity())};
}

// Playing starts at the in point unless the frame on show is inside the span.
double ViewController::playbackStart(double position) const {
    const std::optional<MovieSpan> cut = span();
    if (!cut || (position >= cut->in && position < cut->out)) return position;
    return cut->in;
}

}  // namespace tintreel
