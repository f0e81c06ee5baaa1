// ViewController: live playback of the look. The engine decodes and runs the
// chain on its own thread; the controller hands it the look as the controls
// change, shows its frames in the preview and, when playback stops, puts the
// still back at the frame it stopped on, at full size, ready to edit.
#include <QLabel>
#include <limits>

#include "editor/ViewController.h"
#include "imaging/EffectChain.h"
#include "imaging/WatermarkScale.h"
#include "platform/media/FrameImage.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Stepper.h"
#include "preview/BackgroundTask.h"
#include "preview/PlaybackEngine.h"
#include "preview/PlaybackSound.h"
#include "preview/PreviewArea.h"
#include "preview/VideoImageView.h"

namespace tintreel {
namespace {

const QString kPlaybackStopped = QStringLiteral("The video could not be played to the end.");
// How often (in frames shown) Automatic reconsiders the scale and the indicator is redrawn.
constexpr qint64 kScaleReview = 15;

// The chain playback runs: the render's, so a frame shows as it will be written.
// Pixel sizes (blur radii, watermark sizes) follow the scale, so a smaller
// preview looks like the full frame shrunk.
std::unique_ptr<FrameEffect> previewChain(const EffectSettings& settings, const Image& logo, double scale) {
    return std::make_unique<EffectChain>(settings, logo, ChainRules::Movie, scale);
}

}  // namespace

bool ViewController::isPlaying() const {
    return playback_ && playback_->isPlaying();
}

void ViewController::togglePlayback() {
    if (isPlaying()) return stopPlayback();
    if (videoPath_.isEmpty() || isRendering() || !render_.newVideoPath().isEmpty()) return;
    PlaybackEngine& engine = playbackEngineForVideo();
    const bool fromStart = engine.reachedEnd() && snapshotSeconds_ >= engine.seconds();
    handPlaybackTheLook();
    engine.setShrink(previewScale_ == PreviewScale::Automatic ? std::max(engine.shrink(), viewShrink())
                                                              : shrinkOf(previewScale_));
    engine.setStopTime(outPoint_.value_or(std::numeric_limits<double>::infinity()));
    engine.play(playbackStart(fromStart ? 0.0 : snapshotSeconds_));
}

// The engine of the loaded movie, made at its first play.
PlaybackEngine& ViewController::playbackEngineForVideo() {
    if (playback_) return *playback_;
    std::unique_ptr<PlaybackClock> clock =
        playbackClockFactory_ ? playbackClockFactory_()
                              : makePlaybackClock(videoPath_.toStdString(), videoFacts_.audioTrackCount());
    playback_ = std::make_unique<PlaybackEngine>(videoPath_.toStdString(), previewChain, std::move(clock));
    connect(playback_.get(), &PlaybackEngine::frameShown, this, &ViewController::onPlaybackFrame);
    connect(playback_.get(), &PlaybackEngine::stoppedAtEnd, this, &ViewController::onPlaybackStopped);
    connect(playback_.get(), &PlaybackEngine::playingChanged, this, &ViewController::onPlayingChanged);
    return *playback_;
}

// The coarsest shrink that still gives the preview as many pixels as it draws.
int ViewController::viewShrink() const {
    const VideoImageView* view = controls_.imageView;
    return shrinkForView(view->pictureShape().width(), view->pictureRect().width() * devicePixelRatioF());
}

// A copy of the look as the controls hold it, for the frames decoded next.
void ViewController::handPlaybackTheLook() {
    if (!playback_) return;
    playback_->setLook({lookOnTheSpan(), logo_, previewGeometry(currentSettings()), spanStart()});
    playback_->shapeSound(playbackShaping());
}

void ViewController::stopPlayback() {
    if (!isPlaying()) return;
    playback_->pause();
    settleOnPlaybackFrame();
}

void ViewController::forgetPlayback() {
    const bool wasPlaying = isPlaying();
    playback_.reset();
    if (playbackIndicator_) playbackIndicator_->hide();
    if (wasPlaying) Q_EMIT playingChanged(false);
}

void ViewController::setPreviewScale(PreviewScale scale) {
    previewScale_ = scale;
    if (playback_ && scale != PreviewScale::Automatic) playback_->setShrink(shrinkOf(scale));
}

void ViewController::onPlaybackFrame(const QImage& picture, double seconds, qint64 frameIndex) {
    controls_.imageView->setImage(picture);
    if (playback_->stats().shown % kScaleReview == 0) {
        if (previewScale_ == PreviewScale::Automatic) {
            const double period = 1000.0 / std::max(1.0, videoFacts_.framesPerSecond());
            playback_->setShrink(
                automaticShrink(playback_->shrink(), viewShrink(), playback_->stats().meanFrameMs, period));
        }
        updatePlaybackIndicator();
    }
    Q_EMIT playbackPositionChanged(seconds, frameIndex);
}

// The end, or damage that ends playback early: said once, then the still.
void ViewController::onPlaybackStopped(const QString& why) {
    settleOnPlaybackFrame();
    if (!why.isEmpty()) dialogs_.alert(kPlaybackStopped, AlertStyle::Warning, why);
}

void ViewController::onPlayingChanged(bool playing) {
    if (!playbackIndicator_) {
        playbackIndicator_ = new QLabel(controls_.previewBox);
        playbackIndicator_->setObjectName(QStringLiteral("labelPlaybackScale"));
        playbackIndicator_->setStyleSheet(QStringLiteral(
            "background: rgba(0, 0, 0, 150); color: white; padding: 2px 6px; border-radius: 3px;"));
        playbackIndicator_->move(8, 8);
    }
    updatePlaybackIndicator();
    playbackIndicator_->setVisible(playing);
    playbackIndicator_->raise();
    Q_EMIT playingChanged(playing);
}

void ViewController::updatePlaybackIndicator() {
    if (!playbackIndicator_ || !playback_) return;
    const double fps = playback_->stats().framesPerSecond;
    playbackIndicator_->setText(tr("%1 · %2 fps").arg(scaleName(playback_->shrink())).arg(fps, 0, 'f', 1));
    playbackIndicator_->adjustSize();
}

// The still becomes the frame on show, taken again at full size, and the
// preview refreshes as after a browse; the stepper moves to it too. Half a
// frame later than the frame's own time, so rounding cannot land on the
// frame before.
void ViewController::settleOnPlaybackFrame() {
    const double halfFrame = 0.5 / std::max(1.0, videoFacts_.framesPerSecond());
    showProgressIndicator(true);
    const int generation = loadGeneration_;
    runInBackground(
        pool_, this,
        [file = videoPath_.toStdString(), at = playback_->seconds() + halfFrame] {
            return TimedFrameAtTime(file, at);
        },
        [this, generation](std::optional<TimedFrame> frame) {
            if (generation != loadGeneration_ || isPlaying()) return;
            if (!frame) return showProgressIndicator(refresh_.running || browse_.running);
            browsePosition_ = frame->seconds;
            controls_.browseStepper->setDoubleValue(frame->seconds);
            updateBrowseTime();
            takeSnapshot(std::move(frame->image), frame->seconds);
            updateTimeline();
            // A look changed while playing is recorded by this refresh; an unchanged one is not.
            const std::string* recorded = history_.currentRecord();
            if (recorded && *recorded == currentRecord()) history_.needToSaveState = false;
            UpdateImageEffect();
        });
}

}  // namespace tintreel
