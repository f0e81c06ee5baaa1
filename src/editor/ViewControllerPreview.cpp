// ViewController: bringing a movie in, browsing it, refreshing the still
// preview, zooming it, and feeding the watermark drag. Frame extraction and
// the effect chain run on the controller's pool; only their results come
// back to the GUI thread.
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "editor/ControlBinding.h"
#include "editor/RecentVideos.h"
#include "editor/ViewController.h"
#include "imaging/ImageTools.h"
#include "imaging/WatermarkScale.h"
#include "platform/filters/Picture.h"
#include "platform/filters/QtImage.h"
#include "platform/media/FrameImage.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MovieDiagnosis.h"
#include "platform/media/MovieTypes.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Stepper.h"
#include "preview/BackgroundTask.h"
#include "preview/PreviewArea.h"
#include "preview/VideoImageView.h"
#include "preview/ZoomPan.h"
#include "settings/ControlCatalogue.h"

namespace tintreel {
namespace {

const QString kVideoNotLoaded = QStringLiteral("The video could not be loaded.");

// The detail under kVideoNotLoaded: why, in words the user can act on.
QString noPictureDetail(NoPictureReason reason) {
    switch (reason) {
        case NoPictureReason::CannotBeRead:
            return QStringLiteral("The file cannot be read: it is gone, or you may not read it.");
        case NoPictureReason::NotAMovie:
            return QStringLiteral("The file is not a movie.");
        case NoPictureReason::NoVideoTrack:
            return QStringLiteral("The movie has no video track.");
        case NoPictureReason::CutShort:
            return QStringLiteral("The movie ends before its first picture: it was cut short or is damaged.");
    }
    return {};
}

// Premultiplied ARGB is what QPainter draws fastest.
QImage displayImage(const Image& image) {
    return toQImage(image).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

void ViewController::OnSelectVideo() {
    const std::optional<QString> path =
        dialogs_.openFile(tr("Select Video"), VideoImageView::acceptedTypes, RecentVideos().lastFolder());
    if (!path) return;
    RecentVideos().rememberFolderOf(*path);
    openVideo(*path);
}

// The panel's "All files" and the command line let any file through; only
// movies load.
void ViewController::openVideo(const QString& path) {
    if (path.isEmpty()) return dialogs_.alert(kVideoNotLoaded);
    if (!hasMovieExtension(path.toStdString()))
        return dialogs_.alert(kVideoNotLoaded, AlertStyle::Warning,
                              noPictureDetail(NoPictureReason::NotAMovie));
    LoadVideo(path);
}

void ViewController::DragPerformed(const Notification& notification) {
    const std::optional<std::string> path = notification.value<std::string>("path");
    if (!path) return dialogs_.alert(kVideoNotLoaded);
    LoadVideo(QString::fromStdString(*path));
}

// A load takes effect only once its first frame has been extracted: a movie
// whose frame cannot be read leaves the editor as it was (the previous movie,
// or none) and says so, rather than a loaded state with nothing to show.
void ViewController::LoadVideo(const QString& path) {
    loading_ = true;
    showProgressIndicator(true);
    const int generation = ++loadGeneration_;
    runInBackground(
        pool_, this,
        [file = path.toStdString()] {
            const MediaAsset movie = MediaAsset::open(file);
            LoadedVideo loaded{.firstFrame = TimedFrameAtTime(file, 0.0),
                               .displayShape = movieDisplayShape(movie),
                               .movie = movie};
            if (!loaded.firstFrame) loaded.whyNotLoaded = noPictureDetail(whyNoFirstPicture(file));
            return loaded;
        },
        [this, path, generation](LoadedVideo loaded) {
            if (generation == loadGeneration_) finishLoad(path, std::move(loaded));
        });
}

void ViewController::finishLoad(const QString& path, LoadedVideo loaded) {
    loading_ = false;
    std::optional<TimedFrame>& frame = loaded.firstFrame;
    if (!frame) {
        showProgressIndicator(refresh_.running || browse_.running);
        return dialogs_.alert(kVideoNotLoaded, AlertStyle::Warning, loaded.whyNotLoaded);
    }
    forgetPlayback();
    videoPath_ = path;
    crop_.reset();  // a crop belongs to the video it was drawn on
    videoFacts_ = std::move(loaded.movie);
    startSoundForVideo();
    controls_.imageView->setDisplayShape(loaded.displayShape);
    returnToStillPreview();
    history_.reset(currentRecord());
    Q_EMIT commandsChanged();
    takeSnapshot(std::move(frame->image), frame->seconds);
    showCropInFields();
    startTimeline();
    showProgressIndicator(false);
    UpdateImageEffect();
    RecentVideos().add(path);
    Q_EMIT videoOpened(path);
}

// The frame the effects work on; the preview keeps it unprocessed as well,
// for the Compare button.
void ViewController::takeSnapshot(Image frame, double seconds) {
    snapshot_ = std::make_shared<const Image>(std::move(frame));
    snapshotSeconds_ = seconds;
    controls_.imageView->setReferenceImage(displayImage(*snapshot_));
}

void ViewController::compareWithSource(bool comparing) {
    controls_.imageView->setShowingReference(comparing);
}

void ViewController::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Backslash) return QWidget::keyPressEvent(event);
    if (!event->isAutoRepeat()) compareWithSource(true);
}

void ViewController::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Backslash) return QWidget::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) compareWithSource(false);
}

// The stepper holds the browse position; the frame shown is the last one at
// or before it, and the timeline shows that frame's own time.
void ViewController::OnBrowseFrames() {
    browsePosition_ = controls_.browseStepper->doubleValue();
    updateBrowseTime();
    const bool idle = browse_.request();
    updateTimeline();  // at the position asked for, until its frame is found
    if (!idle) return;
    showProgressIndicator(true);
    runInBackground(
        pool_, this,
        [file = videoPath_.toStdString(), position = browsePosition_] {
            return TimedFrameAtTime(file, position);
        },
        [this](std::optional<TimedFrame> frame) { finishBrowse(std::move(frame)); });
}

void ViewController::finishBrowse(std::optional<TimedFrame> frame) {
    if (browse_.finish()) return OnBrowseFrames();
    if (!frame) {
        showProgressIndicator(false);
        controls_.browseStepper->setDoubleValue(controls_.browseStepper->doubleValue() - 1.0);
        browsePosition_ = controls_.browseStepper->doubleValue();
        updateTimeline();
        return updateBrowseTime();
    }
    takeSnapshot(std::move(frame->image), frame->seconds);
    updateTimeline();
    history_.needToSaveState = false;
    UpdateImageEffect();
}

void ViewController::setCrop(std::optional<PixelRect> crop) {
    if (crop == crop_) return;
    crop_ = crop;
    UpdateImageEffect();
}

ShapeChoice ViewController::previewGeometry(const EffectSettings& settings) const {
    if (cropMode_) return {};  // the crop is drawn on the whole upright frame
    ShapeChoice shape = renderGeometry(settings, crop_, renderSettings_);
    // A preset's size only scales the picture: the preview keeps the frame's.
    shape.outputBox.reset();
    return shape;
}

void ViewController::UpdateImageEffect() {
    sessionKeeper_.changed();
    if (isPlaying()) return handPlaybackTheLook();
    if (!refresh_.request()) return;
    if (snapshot_->isEmpty()) return refresh_.cancel();
    showProgressIndicator(true);
    ++refreshesStarted_;
    runInBackground(
        pool_, this,
        [settings = lookOnTheSpan(), frame = snapshot_, seconds = snapshotSeconds_ - spanStart(), picture = logo_,
         geometry = previewGeometry(currentSettings())] {
            // Converted for display here too, so the GUI thread only swaps it in.
            return displayImage(
                ApplyEffectChain(settings, FrameGeometry(geometry).apply(*frame), *picture, seconds));
        },
        [this](QImage result) { finishRefresh(std::move(result)); });
}

// Every result is newer than the picture on screen, so every one is shown:
// the preview follows a slider drag at the speed of the chain. Only a
// result that nothing has overtaken is a settled value, which the history
// records; an overtaken one is shown and the refresh runs again at once.
void ViewController::finishRefresh(QImage result) {
    VideoImageView* view = controls_.imageView;
    if (refresh_.finish()) {
        if (!view->isHidden()) {
            view->setImage(std::move(result));
            Q_EMIT previewShown();
        }
        return UpdateImageEffect();
    }
    showProgressIndicator(browse_.running);
    if (view->isHidden()) returnToStillPreview();
    view->setImage(std::move(result));
    // A watermark drag is recorded once, by the refresh that follows its end.
    if (!watermarkDrag_.isActive() && !focusDragging_) SaveState();
    Q_EMIT previewShown();
}

void ViewController::OnSelectImage() {
    const std::optional<QString> path =
        dialogs_.openFile(tr("Choose Picture"), extensionList(kPictureExtensions));
    if (!path || path->isEmpty()) return;
    if (!loadLogo(*path)) return dialogs_.alert(QStringLiteral("The image could not be loaded."));
    refreshIf(groupCheckState(GroupId::ImageWatermark));
}

bool ViewController::loadLogo(const QString& path) {
    const QImage picture(path);
    if (picture.isNull()) return false;
    logo_ = std::make_shared<const Image>(fromQImage(picture));
    logoPath_ = QFileInfo(path).absoluteFilePath();
    controls_.pictureName->setText(QFileInfo(path).fileName());
    return true;
}

void ViewController::clearLogo() {
    logo_ = std::make_shared<const Image>();
    logoPath_.clear();
}

void ViewController::ZoomPreview(double factor) {
    controls_.previewArea->zoom(factor);
}
void ViewController::RepositionImageInVisibleArea() {
    controls_.previewArea->reposition();
}
void ViewController::OnZoomIn() {
    ZoomPreview(kZoomInFactor);
}
void ViewController::OnZoomOut() {
    ZoomPreview(kZoomOutFactor);
}
void ViewController::OnResetZoom() {
    controls_.previewArea->ResetZoom();
}
void ViewController::OnActualPixels() {
    controls_.previewArea->showActualPixels();
}

// Drags pan the zoomed preview while the pointer stays inside the preview box.
void ViewController::onPreviewDragged(const QPointF& delta, const QPointF& windowPosition) {
    if (dragsFocus()) return moveFocusBy(delta);
    const QWidget* box = controls_.previewBox;
    const QRectF boxFrame(box->mapTo(window(), QPoint(0, 0)), box->size());
    const bool inside = windowPosition.x() >= boxFrame.left() && windowPosition.x() <= boxFrame.right() &&
                        windowPosition.y() >= boxFrame.top() && windowPosition.y() <= boxFrame.bottom();
    if (inside) controls_.previewArea->pan(delta);
}

void ViewController::connectWatermarkDrag() {
    VideoImageView* view = controls_.imageView;
    view->setWatermarkProbe([this](QPointF point) { return grabbableWatermarkAt(point).has_value(); });
    connect(view, &VideoImageView::watermarkPressed, this, &ViewController::onWatermarkPressed);
    connect(view, &VideoImageView::watermarkDragged, this, &ViewController::onWatermarkDragged);
    connect(view, &VideoImageView::watermarkReleased, this, &ViewController::onWatermarkReleased);
}

std::optional<WatermarkKind> ViewController::grabbableWatermarkAt(QPointF framePoint) const {
    if (snapshot_->isEmpty()) return std::nullopt;
    const std::optional<WatermarkKind> kind =
        watermarkAt(currentSettings(), QSize(snapshot_->width(), snapshot_->height()),
                    QSizeF(logo_->width(), logo_->height()), framePoint);
    // While a render runs the controls take no input, and neither does this.
    if (!kind || !outlets_.find(WatermarkDrag::offsetControls(*kind).first->outlet)->isEnabled())
        return std::nullopt;
    return kind;
}

void ViewController::onWatermarkPressed(const QPointF& framePoint) {
    if (const std::optional<WatermarkKind> kind = grabbableWatermarkAt(framePoint))
        watermarkDrag_.begin(*kind, framePoint, currentSettings());
}

// The fields show the numbers as they change.
void ViewController::onWatermarkDragged(const QPointF& framePoint) {
    const std::optional<EffectSettings> moved =
        watermarkDrag_.moveTo(framePoint, QSize(snapshot_->width(), snapshot_->height()), currentSettings());
    if (!moved) return;
    const auto [x, y] = WatermarkDrag::offsetControls(*watermarkDrag_.kind());
    for (const ControlRow* control : {x, y}) writeControl(outlets_, *control, *moved);
    UpdateImageEffect();
}

void ViewController::onWatermarkReleased() {
    // The refresh that shows where the drag ended records it.
    if (watermarkDrag_.end()) UpdateImageEffect();
}

}  // namespace tintreel
