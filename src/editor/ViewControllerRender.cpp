// ViewController: rendering the whole movie from the window (the preview
// button that doubles as Cancel, the progress display, the three endings),
// the embedded player, and saving the rendered movie, which runs off the GUI
// thread like a render, the interface switched off and the preview button
// its Cancel. The render, the save and the movie are the render session's.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <string_view>

#include "editor/RenderProgressLabel.h"
#include "editor/ViewController.h"
#include "platform/media/MediaAsset.h"
#include "platform/ui/Dialogs.h"
#include "preview/PlayerView.h"
#include "render/RenderWorker.h"

namespace tintreel {
namespace {

const QString kCouldNotGenerate = QStringLiteral("Could not generate preview.");

// Whether the larger stored dimension is a multiple of 16.
bool hasStandardDimensions(const VideoTrack& track) {
    const double larger = track.width <= track.height ? track.height : track.width;
    return std::fmod(larger, 16.0) == 0.0;
}

}  // namespace

void ViewController::connectRenderSession() {
    connect(&render_, &RenderSession::progressChanged, this, &ViewController::showProgress);
    connect(&render_, &RenderSession::waiting, this, &ViewController::showRenderWaiting);
    connect(&render_, &RenderSession::stateChanged, this, [this] {
        updateMovieButtons();
        Q_EMIT commandsChanged();
    });
    connect(&render_, &RenderSession::finished, this, &ViewController::onRenderFinished);
    connect(&render_, &RenderSession::saveProgress, this, &ViewController::showSaveProgress);
    connect(&render_, &RenderSession::saveFinished, this, &ViewController::onSaveFinished);
}

void ViewController::showRenderWaiting(const QString& message) {
    auto* text = outlets_.get<RenderProgressLabel>("labelProgress");
    text->showMessage(message);
    text->show();
}

void ViewController::showProgress(const RenderProgress& report) {
    auto* text = outlets_.get<RenderProgressLabel>("labelProgress");
    text->showReport(report);
    text->show();
    const float fraction = report.fraction;
    auto* bar = outlets_.get<QProgressBar>("progressBarPass");
    bar->setValue(std::isfinite(fraction) ? static_cast<int>(std::clamp(fraction, 0.0f, 1.0f) * 1000) : 0);
    bar->show();
    // A render of one pass has no passes to count.
    auto* passes = outlets_.get<QLabel>("labelPass");
    passes->setText(QStringLiteral("%1 / %2").arg(report.pass).arg(report.passCount));
    passes->setVisible(report.passCount > 1);
}

void ViewController::hideRenderProgress() {
    for (std::string_view name : {"labelProgress", "progressBarPass", "labelPass"})
        outlets_.find(name)->hide();
}

void ViewController::OnGeneratePreview() {
    if (isRendering()) return render_.cancel();
    if (videoPath_.isEmpty())
        return dialogs_.alert(
            QStringLiteral("There is no video selected. Please select a video and try again."));
    // The load's facts: the render itself opens the movie once more, in the
    // worker. A movie deleted since its load is refused at once (a look, not an open).
    const MediaAsset& source = videoFacts_;
    const std::optional<VideoTrack>& track = source.firstVideoTrack();
    std::error_code ignored;
    if (!track || !std::filesystem::exists(videoPath_.toStdString(), ignored))
        return dialogs_.alert(kCouldNotGenerate);
    const EffectSettings settings = currentSettings();
    if (!hasStandardDimensions(*track) &&
        (settings.checkTextWatermark == 1 || settings.checkImageWatermark == 1) &&
        !dialogs_.question(
            QStringLiteral("The current video does not have standard dimensions and applying a "
                           "watermark may cause artifacts. Do you want to continue anyway?")))
        return;
    RenderRequest request{settings, *logo_, videoPath_.toStdString(), temporaryDirectory_, passMode_};
    request.renderSettings = renderSettings_;
    request.crop = crop_;
    if (const std::optional<MovieSpan> cut = span()) request.span = clampedSpan(*cut, source.videoSeconds());
    if (!request.span) request.loudness = loudness_;  // measured over the whole movie, as the render would
    request.temporaryDirectory =
        renderFolders_.folderFor(estimateRenderBytes(request, sourceFactsOf(source, request.videoPath)));
    startRender(std::move(request));
}

void ViewController::startRender(RenderRequest request) {
    stopPlayback();
    DisableInterface();
    render_.start(std::move(request));
}

// Success shows the movie in the player; a failure says so; either other
// ending gives the interface back (the button enabled even when a cancel
// arrived while the render was already failing), with nothing to save.
void ViewController::onRenderFinished(RenderOutcome outcome) {
    if (outcome == RenderOutcome::Failed) dialogs_.alert(kCouldNotGenerate);
    EnableInterface();
    updateMovieButtons();  // switching the interface on enabled Save whatever there is to save
    if (outcome == RenderOutcome::Succeeded)
        ShowVideoPlayer();
    else
        hideRenderProgress();
    Q_EMIT commandsChanged();
    Q_EMIT renderFinished(outcome == RenderOutcome::Succeeded);
}

void ViewController::ShowVideoPlayer() {
    hideRenderProgress();
    if (newVideoPath().isEmpty()) return dialogs_.alert(QStringLiteral("Could not generate video."));
    showStillPreview(false);
    outlets_.get<PlayerView>("playerViewVideo")->setMovie(newVideoPath());
}

void ViewController::pausePlayer() {
    outlets_.get<PlayerView>("playerViewVideo")->pause();
}

std::optional<QString> ViewController::workClosingWouldLose() const {
    if (render_.isSaving())
        return QStringLiteral("The video is still being saved. Do you want to cancel the save and quit?");
    if (isRendering())
        return QStringLiteral("A preview render is still running. Do you want to cancel it and quit?");
    if (render_.hasUnsavedMovie())
        return QStringLiteral(
            "The rendered preview has not been saved. Do you want to quit without saving it?");
    return std::nullopt;
}

void ViewController::OnSaveVideo() {
    if (isRendering()) return;  // one render or save at a time
    if (newVideoPath().isEmpty())
        return dialogs_.alert(
            QStringLiteral("There is no video to save. Please generate a video preview and try again."));
    // The rendered movie's own extension names its container (see renderedExtensionFor).
    // Beside the source video, so the panel opens in its folder.
    const QFileInfo source(videoPath_);
    const QString suggested = source.dir().filePath(
        source.completeBaseName() + QStringLiteral("_processed.") + QFileInfo(newVideoPath()).suffix());
    const std::optional<QString> destination =
        dialogs_.saveFile(tr("Save Video"), suggested, render_.savableExtensions());
    if (!destination || destination->isEmpty()) return;
    DisableInterface();
    showSaving(*destination);
    render_.startSave(*destination);
}

// A copy has no steps to count: the busy indicator stands for it until an
// encoder reports its share.
void ViewController::showSaving(const QString& destination) {
    auto* text = outlets_.get<RenderProgressLabel>("labelProgress");
    text->showMessage(tr("Saving %1...").arg(QFileInfo(destination).fileName()));
    text->show();
    showProgressIndicator(true);
}

void ViewController::showSaveProgress(float share) {
    auto* bar = outlets_.get<QProgressBar>("progressBarPass");
    bar->setValue(std::isfinite(share) ? static_cast<int>(std::clamp(share, 0.0f, 1.0f) * 1000) : 0);
    bar->show();
}

// A cancelled save says nothing: the user asked for it, and nothing was written.
void ViewController::onSaveFinished(RenderOutcome outcome, const QString& failure) {
    hideRenderProgress();
    showProgressIndicator(false);
    EnableInterface();
    updateMovieButtons();
    Q_EMIT commandsChanged();
    if (outcome == RenderOutcome::Succeeded)
        dialogs_.alert(QStringLiteral("Video saved successfully."), AlertStyle::Informational);
    else if (outcome == RenderOutcome::Failed)
        dialogs_.alert(QStringLiteral("Could not save the video."), AlertStyle::Warning, failure);
    Q_EMIT saveFinished(outcome == RenderOutcome::Succeeded);
}

bool ViewController::OnRenderSettings() {
    const std::optional<RenderSettings> chosen = dialogs_.editRenderSettings(renderSettings_);
    if (!chosen || *chosen == renderSettings_) return false;
    renderSettings_ = *chosen;
    return true;
}

}  // namespace tintreel
