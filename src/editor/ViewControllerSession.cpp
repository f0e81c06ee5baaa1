// ViewController: the session that survives a crash. The keeper writes what
// currentSession() reads; a start after a crash offers it back and
// restoreSession() puts it in place.
#include <QFileInfo>

#include "editor/ColorTableChoice.h"
#include "editor/ControlBinding.h"
#include "editor/ViewController.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Stepper.h"
#include "settings/SettingsRecord.h"

namespace tintreel {

void ViewController::keepSession(const std::filesystem::path& folder) {
    sessionKeeper_.start(folder);
}

bool ViewController::offerLeftSession() {
    const std::optional<SessionState> left = sessionKeeper_.claimLeftSession();
    if (!left) return false;
    const bool restore =
        dialogs_.offerSessionRestore(QFileInfo(QString::fromStdString(left->videoPath)).fileName());
    sessionKeeper_.dropClaimed();
    if (restore) restoreSession(*left);
    return restore;
}

SessionState ViewController::currentSession() const {
    return {videoPath_.toStdString(),
            controls_.browseStepper->doubleValue(),
            currentRecord(),
            logoPath_.toStdString(),
            crop_,
            inPoint_,
            outPoint_};
}

void ViewController::restoreSession(const SessionState& session) {
    const EffectSettings settings = parseSettingsRecord(session.settingsRecord, currentSettings()).settings;
    writeSettings(outlets_, settings);
    const QString picture = QString::fromStdString(session.picturePath);
    if (!picture.isEmpty() && !loadLogo(picture))
        dialogs_.alert(QStringLiteral("The watermark picture %1 could not be loaded.").arg(picture));
    if (const std::optional<std::string> table = colorTableProblem(settings))
        dialogs_.alert(QString::fromStdString(*table));
    const QString video = QString::fromStdString(session.videoPath);
    // The crop comes back with its video, once that is loaded (a load starts without one).
    if (session.crop)
        connect(
            this, &ViewController::videoOpened, this,
            [this, video, crop = *session.crop](const QString& opened) {
                if (opened == video) setCrop(crop);
            },
            Qt::SingleShotConnection);
    // The points belong to the video: they come back once it is loaded.
    connect(
        this, &ViewController::videoOpened, this,
        [this, video, in = session.inPoint, out = session.outPoint](const QString& opened) {
            if (opened != video) return;
            setSpanPoint(TimelineBar::Mark::Out, out);
            setSpanPoint(TimelineBar::Mark::In, in);
        },
        Qt::SingleShotConnection);
    if (session.browseSeconds > 0)
        connect(
            this, &ViewController::videoOpened, this,
            [this, video, seconds = session.browseSeconds](const QString& opened) {
                if (opened != video) return;
                controls_.browseStepper->setDoubleValue(seconds);
                OnBrowseFrames();
            },
            Qt::SingleShotConnection);
    LoadVideo(video);
}

}  // namespace tintreel
