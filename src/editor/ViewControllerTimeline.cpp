// ViewController: the timeline under the preview. It and the "Frame at"
// stepper move one browse position: the stepper holds it (whole seconds from
// its arrows, any time from the timeline) and the timeline shows the frame
// found for it at that frame's own time, with the frame's number. Frame
// steps go from one real frame time to the next (FrameTimes), which are
// read off the GUI thread after a load. Browsing records nothing in the
// history. The play button and Space only ask for playing (playRequested).
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "editor/ViewController.h"
#include "platform/ui/Stepper.h"
#include "preview/BackgroundTask.h"
#include "preview/PreviewArea.h"
#include "preview/VideoImageView.h"
#include "settings/ProgressText.h"

namespace tintreel {
namespace {

const QString kPlay = QStringLiteral("Play");
const QString kPause = QStringLiteral("Pause");

QLabel* makeTimelineLabel(Outlets& outlets, std::string_view name, const QString& widest) {
    auto* label = outlets.add(new QLabel, name);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widest) + 4);
    return label;
}

}  // namespace

QWidget* ViewController::buildTimelineRow() {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* play = outlets_.add(new QPushButton(kPlay), "buttonPlayPause");
    play->setProperty("role", "command");
    play->setFocusPolicy(Qt::TabFocus);  // a click leaves the keys where they were
    connect(play, &QPushButton::clicked, this, &ViewController::playRequested);
    layout->addWidget(play);
    auto* crop = outlets_.add(new QPushButton(tr("Crop")), "buttonCropMode");
    crop->setProperty("role", "command");
    crop->setCheckable(true);
    crop->setFocusPolicy(Qt::TabFocus);
    crop->setToolTip(tr("Crop mode: drag on the whole frame to keep a rectangle of this video; "
                        "click again to see the result"));
    connect(crop, &QPushButton::toggled, this, &ViewController::setCropMode);
    layout->addWidget(crop);
    auto* timeline = outlets_.add(new TimelineBar, "timelineBrowse");
    timeline->setToolTip(
        tr("Drag to look at any frame; Left and Right step a frame, Shift a second; "
           "I and O set the in and out points, Alt+I and Alt+O clear them"));
    connect(timeline, &TimelineBar::positionRequested, this, &ViewController::browseTo);
    connect(timeline, &TimelineBar::stepRequested, this, &ViewController::onTimelineStep);
    connect(timeline, &TimelineBar::playRequested, this, &ViewController::playRequested);
    connect(timeline, &TimelineBar::markRequested, this, &ViewController::onTimelineMark);
    // A click on the preview gives it the keys, which it hands to the timeline.
    for (QWidget* preview : {static_cast<QWidget*>(outlets_.get<PreviewArea>("customViewImage")),
                             static_cast<QWidget*>(outlets_.get<VideoImageView>("imageViewVideo"))}) {
        preview->setFocusPolicy(Qt::ClickFocus);
        timeline->takeKeysOf(preview);
    }
    layout->addWidget(timeline, 1);
    connect(this, &ViewController::playRequested, this, &ViewController::togglePlayback);
    connect(this, &ViewController::playingChanged, this, &ViewController::setPlaying);
    connect(this, &ViewController::playbackPositionChanged, this, &ViewController::showTimelineAt);
    layout->addWidget(
        makeTimelineLabel(outlets_, "labelTimelineTime", QStringLiteral("00:00.00 / 00:00.00")));
    layout->addWidget(
        makeTimelineLabel(outlets_, "labelTimelineFrame", QStringLiteral("frame 0000 of 0000")));
    return row;
}

void ViewController::setPlaying(bool playing) {
    controls_.playPause->setText(playing ? kPause : kPlay);
    controls_.playPause->setToolTip(playing ? tr("Pause (Space)")
                                            : tr("Play the video with its look (Space)"));
}

void ViewController::onBrowseStepper() {
    Stepper* stepper = controls_.browseStepper;
    const double stepped = stepper->doubleValue();
    if (stepped > browsePosition_)
        stepper->setDoubleValue(std::floor(stepped));
    else if (stepped < browsePosition_)
        stepper->setDoubleValue(std::ceil(stepped));
    OnBrowseFrames();
}

// While playing, a new position is a seek: playing goes on from there.
void ViewController::browseTo(double seconds) {
    if (videoPath_.isEmpty()) return;
    const double position = std::clamp(seconds, 0.0, timelineDuration());
    controls_.browseStepper->setDoubleValue(position);
    if (isPlaying()) return playback_->play(position);
    OnBrowseFrames();
}

void ViewController::onTimelineStep(TimelineBar::Step step) {
    const double position = timelinePosition();
    switch (step) {
        case TimelineBar::Step::PreviousFrame:
            return browseTo(frameTimes_.previous(position));
        case TimelineBar::Step::NextFrame:
            return browseTo(frameTimes_.next(position));
        case TimelineBar::Step::BackSecond:
            return browseTo(position - 1.0);
        case TimelineBar::Step::ForwardSecond:
            return browseTo(position + 1.0);
        case TimelineBar::Step::Start:
            return browseTo(0.0);
        case TimelineBar::Step::End:
            return browseTo(frameTimes_.last());
    }
}

double ViewController::timelinePosition() const {
    if (isPlaying()) return playback_->seconds();
    return browse_.running ? browsePosition_ : snapshotSeconds_;
}

// A movie whose stream says less than its frames show still reaches its last frame.
double ViewController::timelineDuration() const {
    return std::max(videoFacts_.videoSeconds(), frameTimes_.last());
}

void ViewController::updateTimeline() {
    const bool usable = interfaceEnabled_ && !videoPath_.isEmpty();
    controls_.timeline->setEnabled(usable);
    controls_.playPause->setEnabled(usable);
    controls_.timeline->setDuration(timelineDuration());
    showTimelineAt(timelinePosition());
}

// The handle, the time and the frame number of the frame at `position`.
void ViewController::showTimelineAt(double position) {
    controls_.timeline->setPosition(position);
    controls_.timelineTime->setText(QString::fromStdString(formatPositionTime(position) + " / " +
                                                           formatPositionTime(timelineDuration())));
    const bool haveFrames = !videoPath_.isEmpty() && frameTimes_.count() > 0;
    controls_.timelineFrame->setText(haveFrames ? QString::fromStdString(formatFrameNumber(
                                                      frameTimes_.indexAt(position), frameTimes_.count()))
                                                : QString());
}

// The average rate stands in until the movie's own frame times are read.
void ViewController::startTimeline() {
    resetTimeline();
    frameTimes_ = FrameTimes::evenlySpaced(videoFacts_.framesPerSecond(), videoFacts_.videoSeconds());
    updateTimeline();
    runInBackground(
        pool_, this,
        [file = videoPath_.toStdString(), stop = stopFrameTimes_] { return readFrameTimes(file, *stop); },
        [this, stop = stopFrameTimes_](std::optional<FrameTimes> times) {
            if (*stop || !times) return;  // another movie, or none, since
            frameTimes_ = std::move(*times);
            frameTimesRead_ = true;
            updateTimeline();
        });
}

void ViewController::resetTimeline() {
    stopReadingFrameTimes();
    browsePosition_ = 0.0;
    controls_.browseStepper->setDoubleValue(0);
    updateBrowseTime();
    frameTimes_ = FrameTimes();
    frameTimesRead_ = false;
    inPoint_.reset();
    outPoint_.reset();
    showSpan();
    setPlaying(false);
    updateTimeline();
}

// The running read sees its own flag set; the next read gets a fresh one.
void ViewController::stopReadingFrameTimes() {
    *stopFrameTimes_ = true;
    stopFrameTimes_ = std::make_shared<std::atomic<bool>>(false);
}

}  // namespace tintreel
