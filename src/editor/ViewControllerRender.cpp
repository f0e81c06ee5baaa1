// ViewController: rendering the whole movie from the window (the preview
// button that doubles as Cancel, the progress display, the three endings),
// the embedded player, and saving the rendered movie.
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <string_view>
#include <system_error>
#include <unistd.h>

#include "render/SettingsManager.h"
#include "settings/ProgressText.h"
#include "editor/ViewController.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MovieTypes.h"
#include "platform/media/Remux.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/Log.h"
#include "platform/ui/Dialogs.h"
#include "preview/BackgroundTask.h"
#include "preview/PlayerView.h"
#include "render/RenderSlots.h"
#include "render/RenderWorker.h"

namespace tintreel {
namespace {

const QString kCouldNotGenerate = QStringLiteral("Could not generate preview.");
constexpr std::string_view kWaitingForSlot = "Waiting for a batch render to make room...";

// Whether the larger stored dimension is a multiple of 16.
bool hasStandardDimensions(const VideoTrack& track) {
    const double larger = track.width <= track.height ? track.height : track.width;
    return std::fmod(larger, 16.0) == 0.0;
}

}  // namespace

void ViewController::UpdateProgress(const Notification& notification) {
    // Runs on the render thread: read and format here, touch widgets only on
    // the GUI thread, in posting order.
    const auto progress = notification.value<float>(progress_key::kProgress);
    if (!progress || !notification.value<float>(progress_key::kEffect)) return;
    const std::optional<std::string> label = progressLabel(notification);
    const int pass = static_cast<int>(notification.value<float>(progress_key::kPass).value_or(0));
    const int passCount = static_cast<int>(notification.value<float>(progress_key::kPassCount).value_or(0));
    const float fraction = *progress;
    postToThreadOf(this, [this, label, pass, passCount, fraction] { showProgress(label, pass, passCount, fraction); });
}

void ViewController::showProgress(const std::optional<std::string>& label, int pass, int passCount, float fraction) {
    auto* text = outlets_.get<QLabel>("labelProgress");
    if (label) text->setText(QString::fromStdString(*label));
    text->show();
    if (passCount <= 0) return;
    auto* bar = outlets_.get<QProgressBar>("progressBarPass");
    bar->setValue(std::isfinite(fraction) ? static_cast<int>(std::clamp(fraction, 0.0f, 1.0f) * 1000) : 0);
    bar->show();
    auto* passes = outlets_.get<QLabel>("labelPass");
    passes->setText(QStringLiteral("%1 / %2").arg(pass).arg(passCount));
    passes->show();
}

void ViewController::hideRenderProgress() {
    for (std::string_view name : {"labelProgress", "progressBarPass", "labelPass"}) outlets_.find(name)->hide();
}

void ViewController::OnGeneratePreview() {
    if (isRendering()) {
        setRenderState(RenderState::Cancelling);
        settingsManager.generatePreviewCanceledByUser = true;
        return;
    }
    if (videoPath.isEmpty())
        return dialogs_.alert(QStringLiteral("There is no video selected. Please select a video and try again."));
    const MediaAsset source = MediaAsset::open(videoPath.toStdString());
    const std::optional<VideoTrack> track = source.firstVideoTrack();
    if (!track) return dialogs_.alert(kCouldNotGenerate);
    const EffectSettings settings = currentSettings();
    if (!hasStandardDimensions(*track) && (settings.checkTextWatermark == 1 || settings.checkImageWatermark == 1) &&
        !dialogs_.question(QStringLiteral("The current video does not have standard dimensions and applying a "
                                          "watermark may cause artifacts. Do you want to continue anyway?")))
        return;
    RenderRequest request{settings, *logo, videoPath.toStdString(), temporaryDirectory_, passMode_};
    request.renderSettings = renderSettings_;
    request.temporaryDirectory =
        renderFolders_.folderFor(estimateRenderBytes(request, sourceFactsOf(source, request.videoPath)));
    startRender(std::move(request));
}

void ViewController::startRender(RenderRequest request) {
    DisableInterface();
    setRenderState(RenderState::Rendering);
    Q_EMIT commandsChanged();
    // A cancel that came after the last render's final pass must not cancel this one.
    settingsManager.generatePreviewCanceledByUser = false;
    if (renderThread_.joinable()) renderThread_.join();
    renderThread_ = std::thread([this, request = std::move(request)] {
        const std::atomic<bool>& cancel = settingsManager.generatePreviewCanceledByUser;
        const auto finish = [this](const RenderResult& result) {
            postToThreadOf(this, [this, result] { finishRender(result); });
        };
        // A batch running beside the editor shares the machine's render limit.
        std::optional<RenderSlots::Slot> slot = RenderSlots::shared().tryAcquire();
        if (!slot) {
            postToThreadOf(this, [this] { showProgress(std::string(kWaitingForSlot), 0, 0, 0); });
            slot = RenderSlots::shared().acquire(cancel);
        }
        if (!slot) return finish(RenderResult::canceled());
        GeneratePreviewVideo(request, cancel, NotificationCenter::defaultCenter(), finish);
    });
}

void ViewController::finishRender(const RenderResult& result) {
    if (renderThread_.joinable()) renderThread_.join();
    // A cancel pressed after the last pass had already finished is moot now.
    settingsManager.generatePreviewCanceledByUser = false;
    switch (result.outcome) {
        case RenderOutcome::Succeeded:
            newVideoPath = QString::fromStdString(result.newVideoPath.string());
            EnableInterface();
            setRenderState(RenderState::Idle);
            ShowVideoPlayer();
            break;
        case RenderOutcome::Failed:
            dialogs_.alert(kCouldNotGenerate);
            endRenderWithoutMovie();
            break;
        case RenderOutcome::Canceled: endRenderWithoutMovie(); break;
    }
    Q_EMIT commandsChanged();
    Q_EMIT renderFinished(result.outcome == RenderOutcome::Succeeded);
}

// The failed and cancelled endings: the interface back (the button enabled
// even when a cancel arrived while the render was already failing), nothing
// to save.
void ViewController::endRenderWithoutMovie() {
    newVideoPath.clear();
    EnableInterface();
    setRenderState(RenderState::Idle);
    hideRenderProgress();
}

void ViewController::ShowVideoPlayer() {
    hideRenderProgress();
    if (newVideoPath.isEmpty()) return dialogs_.alert(QStringLiteral("Could not generate video."));
    showStillPreview(false);
    outlets_.get<PlayerView>("playerViewVideo")->setMovie(newVideoPath);
}

void ViewController::pausePlayer() { outlets_.get<PlayerView>("playerViewVideo")->pause(); }

void ViewController::cancelRenderAndWait() {
    if (!renderThread_.joinable()) return;
    settingsManager.generatePreviewCanceledByUser = true;
    renderThread_.join();
    settingsManager.generatePreviewCanceledByUser = false;
}

void ViewController::OnSaveVideo() {
    if (newVideoPath.isEmpty())
        return dialogs_.alert(
            QStringLiteral("There is no video to save. Please generate a video preview and try again."));
    // The rendered movie's own extension names its container (see renderedExtensionFor).
    // Beside the source video, so the panel opens in its folder.
    const QFileInfo source(videoPath);
    const QString suggested =
        source.dir().filePath(source.completeBaseName() + QStringLiteral("_processed.") + QFileInfo(newVideoPath).suffix());
    const std::optional<QString> destination =
        dialogs_.saveFile(tr("Save Video"), suggested, savableExtensions());
    if (!destination || destination->isEmpty()) return;
    if (copyRenderedMovie(*destination))
        dialogs_.alert(QStringLiteral("Video saved successfully."), AlertStyle::Informational);
    else
        dialogs_.alert(QStringLiteral("Could not save the video."));
}

bool ViewController::OnRenderSettings() {
    const std::optional<RenderSettings> chosen = dialogs_.editRenderSettings(renderSettings_);
    if (!chosen || *chosen == renderSettings_) return false;
    renderSettings_ = *chosen;
    return true;
}

// The containers that can hold the rendered movie's video, its own first.
QStringList ViewController::savableExtensions() const {
    const QString own = QFileInfo(newVideoPath).suffix().toLower();
    QStringList extensions{own};
    const Result<std::string> codec = videoCodecName(newVideoPath.toStdString());
    if (!codec) return extensions;
    for (const std::string& extension : extensionsHolding(*codec))
        if (QString::fromStdString(extension) != own) extensions << QString::fromStdString(extension);
    return extensions;
}

// Puts the rendered movie whole into place (see AtomicFile.h), so a failed
// save never costs the user the file that was there before: copied when the
// name asks for its container, else re-muxed into the one the name asks for.
bool ViewController::copyRenderedMovie(const QString& destination) {
    const QFileInfo target(destination);
    const auto removeFailed = [&](std::errc reason) {
        logLine("Remove failed: " + destination.toStdString() + ": " + std::make_error_code(reason).message());
    };
    if (!target.exists())
        removeFailed(std::errc::no_such_file_or_directory);
    else if (::access(target.absolutePath().toLocal8Bit().constData(), W_OK) != 0)
        removeFailed(std::errc::permission_denied);
    const std::filesystem::path from = newVideoPath.toStdString(), to = destination.toStdString();
    const Status copied = sameContainer(from, to) ? copyFileAtomically(from, to) : remuxMovie(from, to);
    if (!copied) logLine("Copy failed: " + copied.error());
    return copied.ok();
}

}  // namespace tintreel
