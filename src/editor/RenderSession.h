#pragma once
// RenderSession: the window's whole-movie render and the movie it leaves.
// One render at a time runs on a thread of its own (after waiting for room
// when a batch holds the machine's render limit); the passes' "UpdateProgress"
// notifications come back as progressChanged on the GUI thread; a cancel sets
// the process's cancel flag (SettingsManager), which the passes read; the end
// comes back as finished. The movie a render made stays until it is forgotten
// (the still preview is back) or the next render starts, and can be saved
// under a name of the user's any number of times.
//
// What the user sees (buttons, labels, alerts, the player) is the window's:
// the session only says what happened.
//
// GUI thread only, but for its "UpdateProgress" observer, which a pass calls
// on the render thread and which only formats and posts. Destroying the
// session cancels a running render and waits for it.

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <thread>

#include "platform/system/NotificationCenter.h"
#include "render/RenderResult.h"
#include "settings/ProgressText.h"

namespace tintreel {

class SettingsManager;
struct RenderRequest;

// Where a render from the window stands. The preview button follows it:
// "Generate Preview" when idle, "Cancel" while rendering, "Cancelling..."
// (switched off) once a cancel was asked for until the render ends.
enum class RenderState { Idle, Rendering, Cancelling };

class RenderSession : public QObject {
    Q_OBJECT
public:
    explicit RenderSession(QObject* parent = nullptr);
    ~RenderSession() override;

    RenderState state() const { return state_; }
    bool isRendering() const { return state_ != RenderState::Idle; }
    // The movie the last render made; empty when there is none.
    const QString& newVideoPath() const { return newVideoPath_; }
    // A rendered movie that no save has put anywhere yet: closing loses it.
    bool hasUnsavedMovie() const { return !newVideoPath_.isEmpty() && !saved_; }

    // Starts rendering `request`, forgetting the last movie. Only while idle.
    void start(RenderRequest request);
    // Asks the running render to stop; it ends through finished(Canceled),
    // or with whatever ending it had already reached.
    void cancel();
    // Stops a running render and waits for its thread, without a finished
    // signal (the window is closing).
    void cancelAndWait();
    // The still preview is back: the rendered movie is no longer offered.
    void forgetMovie();

    // The containers that can hold the rendered movie's video, its own first.
    QStringList savableExtensions() const;
    // Puts the rendered movie whole at `destination` (see AtomicFile.h):
    // copied when the name asks for its container, else re-muxed into the
    // one the name asks for. False (and a log line) when it failed.
    bool save(const QString& destination);

Q_SIGNALS:
    void stateChanged(RenderState state);
    void progressChanged(const RenderProgress& report);
    // The render waits for room under the machine's render limit, saying so in `message`.
    void waiting(const QString& message);
    // The render ended; the state is Idle again and, on success,
    // newVideoPath names the movie.
    void finished(RenderOutcome outcome);

private:
    void UpdateProgress(const Notification& notification);
    void run(const RenderRequest& request);
    void finish(const RenderResult& result);
    void setState(RenderState state);

    SettingsManager& settingsManager_;
    RenderState state_ = RenderState::Idle;
    QString newVideoPath_;
    bool saved_ = false;
    ObserverToken progressObserver_;
    std::thread thread_;  // the running render; joined at its end
};

}  // namespace tintreel
