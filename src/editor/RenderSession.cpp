#include "editor/RenderSession.h"

#include <unistd.h>
#include <QFileInfo>
#include <atomic>
#include <functional>
#include <string_view>
#include <system_error>

#include "platform/media/AnimatedImage.h"
#include "platform/media/MovieTypes.h"
#include "platform/media/Remux.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/Log.h"
#include "preview/BackgroundTask.h"
#include "render/RenderSlots.h"
#include "render/RenderWorker.h"
#include "render/SettingsManager.h"
#include "settings/ProgressText.h"

namespace tintreel {
namespace {

constexpr std::string_view kWaitingForSlot = "Waiting for a batch render to make room...";

}  // namespace

RenderSession::RenderSession(QObject* parent) : QObject(parent), settingsManager_(SettingsManager::shared()) {
    progressObserver_ = NotificationCenter::defaultCenter().addObserver(
        std::string(kUpdateProgress),
        [this](const Notification& notification) { UpdateProgress(notification); });
}

RenderSession::~RenderSession() {
    cancelAndWait();
}

void RenderSession::UpdateProgress(const Notification& notification) {
    // Runs on the render thread: read and format here, signal only on the
    // GUI thread, in posting order.
    std::optional<RenderProgress> report = progressOf(notification);
    if (!report) return;
    postToThreadOf(this, [this, report = std::move(*report)] { Q_EMIT progressChanged(report); });
}

void RenderSession::start(RenderRequest request) {
    if (isRendering()) return;
    newVideoPath_.clear();
    saved_ = false;
    // A cancel that came after the last render's final pass must not cancel this one.
    settingsManager_.generatePreviewCanceledByUser = false;
    if (thread_.joinable()) thread_.join();
    setState(RenderState::Rendering);
    thread_ = std::thread([this, request = std::move(request)] { run(request); });
}

// The render thread's whole life; it ends by posting the one ending.
void RenderSession::run(const RenderRequest& request) {
    const std::atomic<bool>& cancel = settingsManager_.generatePreviewCanceledByUser;
    const auto finished = [this](const RenderResult& result) {
        postToThreadOf(this, [this, result] { finish(result); });
    };
    // A batch running beside the editor shares the machine's render limit.
    std::optional<RenderSlots::Slot> slot = RenderSlots::shared().tryAcquire();
    if (!slot) {
        postToThreadOf(this, [this] {
            Q_EMIT waiting(QString::fromUtf8(kWaitingForSlot.data(), kWaitingForSlot.size()));
        });
        slot = RenderSlots::shared().acquire(cancel);
    }
    if (!slot) return finished(RenderResult::canceled());
    GeneratePreviewVideo(request, cancel, NotificationCenter::defaultCenter(), finished);
}

void RenderSession::finish(const RenderResult& result) {
    if (thread_.joinable()) thread_.join();
    // A cancel pressed after the last pass had already finished is moot now.
    settingsManager_.generatePreviewCanceledByUser = false;
    if (result.outcome == RenderOutcome::Succeeded)
        newVideoPath_ = QString::fromStdString(result.newVideoPath.string());
    setState(RenderState::Idle);
    Q_EMIT finished(result.outcome);
}

void RenderSession::cancel() {
    if (!isRendering()) return;
    if (saving_)
        saveCanceled_ = true;
    else
        settingsManager_.generatePreviewCanceledByUser = true;
    setState(RenderState::Cancelling);
}

void RenderSession::cancelAndWait() {
    if (!thread_.joinable()) return;
    saveCanceled_ = true;
    settingsManager_.generatePreviewCanceledByUser = true;
    thread_.join();
    settingsManager_.generatePreviewCanceledByUser = false;
}

void RenderSession::forgetMovie() {
    newVideoPath_.clear();
    saved_ = false;
}

void RenderSession::setState(RenderState state) {
    state_ = state;
    Q_EMIT stateChanged(state);
}

QStringList RenderSession::savableExtensions() const {
    const QString own = QFileInfo(newVideoPath_).suffix().toLower();
    QStringList extensions{own};
    const Result<std::string> codec = videoCodecName(newVideoPath_.toStdString());
    if (!codec) return extensions;
    for (const std::string& extension : extensionsHolding(*codec))
        if (QString::fromStdString(extension) != own) extensions << QString::fromStdString(extension);
    for (std::string_view animated : kAnimationExtensions) extensions << QString::fromUtf8(animated.data());
    return extensions;
}

namespace {

// The rendered movie as an animated picture, written beside `to` and put in
// place whole, with the command line's default frame rate and width.
Status saveAnimation(const std::filesystem::path& from, const std::filesystem::path& to,
                     const std::atomic<bool>& cancel, const std::function<void(float)>& progress) {
    const std::filesystem::path partial = partialNameBeside(to, lowerExtension(to));
    Status written = writeAnimation(from, partial, AnimationLimits{}, cancel, progress);
    if (written) written = moveFileAtomically(partial, to, IfTaken::Replace);
    std::error_code ignored;
    if (!written) std::filesystem::remove(partial, ignored);
    return written;
}

// Puts `from` at `to` in the form the name asks for. A copy or a re-mux is
// short and runs to its end; an animation stops early on `cancel`.
Status saveMovie(const std::filesystem::path& from, const std::filesystem::path& to,
                 const std::atomic<bool>& cancel, const std::function<void(float)>& progress) {
    if (isAnimationExtension(lowerExtension(to))) return saveAnimation(from, to, cancel, progress);
    return sameContainer(from, to) ? copyFileAtomically(from, to) : remuxMovie(from, to);
}

}  // namespace

// A failed save never costs the user the file that was there before.
void RenderSession::startSave(const QString& destination) {
    if (isRendering() || newVideoPath_.isEmpty()) return;
    // A file already there is replaced; a folder that will not let it go is
    // worth a line. A name not yet taken has nothing to remove.
    const QFileInfo target(destination);
    if (target.exists() && ::access(target.absolutePath().toLocal8Bit().constData(), W_OK) != 0)
        logLine("Remove failed: " + destination.toStdString() + ": " +
                std::make_error_code(std::errc::permission_denied).message());
    if (thread_.joinable()) thread_.join();
    saveCanceled_ = false;
    saving_ = true;
    setState(RenderState::Saving);
    // The thread gets plain paths, not Qt's shared strings.
    thread_ = std::thread([this, from = newVideoPath_.toStdString(), to = destination.toStdString()] {
        const auto progress = [this](float share) {
            postToThreadOf(this, [this, share] { Q_EMIT saveProgress(share); });
        };
        Status written = saveMovie(from, to, saveCanceled_, progress);
        postToThreadOf(this, [this, written = std::move(written)] { finishSave(written); });
    });
}

void RenderSession::finishSave(const Status& written) {
    if (thread_.joinable()) thread_.join();
    const RenderOutcome outcome = written                ? RenderOutcome::Succeeded
                                  : saveCanceled_.load() ? RenderOutcome::Canceled
                                                         : RenderOutcome::Failed;
    if (outcome == RenderOutcome::Failed) logLine("Copy failed: " + written.error());
    saved_ = saved_ || written.ok();
    saving_ = false;
    saveCanceled_ = false;
    setState(RenderState::Idle);
    Q_EMIT saveFinished(outcome, written ? QString() : QString::fromStdString(written.error()));
}

}  // namespace tintreel
