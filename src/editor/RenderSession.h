#pragma once
// RenderSession: the window's whole-movie render and the movie it leaves.
// One render at a time runs on a thread of its own (after waiting for room
// when a batch holds the machine's render limit); the passes' "UpdateProgress"
// notifications come back as progressChanged on the GUI thread; a cancel sets
// the process's cancel flag (SettingsManager), which the passes read; the end
// comes back as finished. The movie a render made stays until it is forgotten
// (the still preview is back) or the next render starts, and can be saved
// under a name of the user's any number of times. A save runs on the same
// thread slot as a render (never both at once), reports its share done as
// saveProgress where its encoder has one, and ends as saveFinished.
//
// What the user sees (buttons, labels, alerts, the player) is the window's:
// the session only says what happened.
//
// GUI thread only, but for its "UpdateProgress" observer, which a pass calls
// on the render thread and which only formats and posts. Destroying the
// session cancels a running render or save and waits for it.

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "platform/system/NotificationCenter.h"
#include "platform/system/Result.h"
#include "render/RenderResult.h"
#include "settings/ProgressText.h"

namespace tintreel {

class SettingsManager;
struct RenderRequest;

// Where a render from the window, or a save of its movie, stands. The
// preview button follows it: "Generate Preview" when idle, "Cancel" while
// rendering or saving, "Cancelling..." (switched off) once a cancel was
// asked for until the work ends.
enum class RenderState { Idle, Rendering, Saving, Cancelling };

class RenderSession : public QObject {
    Q_OBJECT
public:
    explicit RenderSession(QObject* parent = nullptr);
    ~RenderSession() override;

    RenderState state() const { return state_; }
    // A render or a save of its movie runs (or is being cancelled).
    bool isRendering() const { return state_ != RenderState::Idle; }
    // The running work is a save.
    bool isSaving() const { return saving_; }
    // The movie the last render made; empty when there is none.
    const QString& newVideoPath() const { return newVideoPath_; }
    // A rendered movie that no save has put anywhere yet: closing loses it.
    bool hasUnsavedMovie() const { return !newVideoPath_.isEmpty() && !saved_; }

    // Starts rendering `request`, forgetting the last movie. Only while idle.
    void start(RenderRequest request);
    // Asks the running render or save to stop; it ends through
    // finished(Canceled) or saveFinished(Canceled), or with whatever ending
    // it had already reached.
    void cancel();
    // Stops a running render or save and waits for its thread (the window
    // is closing). A cancelled save leaves nothing at its destination.
    void cancelAndWait();
    // The still preview is back: the rendered movie is no longer offered.
    void forgetMovie();

    // The containers that can hold the rendered movie's video, its own first.
    QStringList savableExtensions() const;
    // Starts putting the rendered movie whole at `destination` (see
    // AtomicFile.h) on the session's thread: copied when the name asks for
    // its container, re-muxed into the one the name asks for, or encoded as
    // an animated picture. Only while idle with a movie; ends through
    // saveFinished.
    void startSave(const QString& destination);

Q_SIGNALS:
    void stateChanged(RenderState state);
    void progressChanged(const RenderProgress& report);
    // The render waits for room under the machine's render limit, saying so in `message`.
    void waiting(const QString& message);
    // The render ended; the state is Idle again and, on success,
    // newVideoPath names the movie.
    void finished(RenderOutcome outcome);
    // The running save's share done, 0 to 1 (animated pictures only: a copy has no steps).
    void saveProgress(float share);
    // The save ended; the state is Idle again. `failure` says why it failed.
    void saveFinished(RenderOutcome outcome, const QString& failure);

private:
    void UpdateProgress(const Notification& notification);
    void run(const RenderRequest& request);
    void finish(const RenderResult& result);
    void finishSave(const Status& written);
    void setState(RenderState state);

    SettingsManager& settingsManager_;
    RenderState state_ = RenderState::Idle;
    QString newVideoPath_;
    bool saved_ = false;
    bool saving_ = false;
    std::atomic<bool> saveCanceled_{false};  // raised by cancel, read by the save thread
    ObserverToken progressObserver_;
    std::thread thread_;  // the running render or save; joined at its end
};

}  // namespace tintreel
