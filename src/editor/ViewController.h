#pragma once
// ViewController: the controller of the editor's single window. It owns the
// session (the loaded movie, the still frame, the watermark picture, the
// settings history, the rendered preview, the gates that keep background
// work from overlapping, where a render stands) and holds every control
// through its outlets; the ones its own code names are resolved once, when
// the window is built, into typed members. The controls themselves are the
// store of the effect settings.
//
// Two parts are objects of their own, which the controller owns and talks
// to by typed calls and signals: the render session (start, progress,
// cancel, the ending, saving the movie; RenderSession.h) and the watermark
// drag (WatermarkDrag.h). Its own operations live in files by concern: the
// window and its commands (ViewController.cpp), the control actions and
// resets (ViewControllerActions.cpp), loading, browsing, refreshing, zooming
// and the watermark drag (ViewControllerPreview.cpp), undo, redo and profiles
// (ViewControllerHistory.cpp), rendering, playing and saving
// (ViewControllerRender.cpp), live playback of the look
// (ViewControllerPlayback.cpp), the session kept for after a crash
// (ViewControllerSession.cpp), the timeline under the preview
// (ViewControllerTimeline.cpp).
//
// GUI thread only. Background work receives copies of what it needs and
// reports back through queued calls; the pool it runs on is owned here, so
// destroying the controller waits for it.

#include <QImage>
#include <QLabel>
#include <QThreadPool>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "editor/CropDrag.h"
#include "editor/Outlets.h"
#include "editor/RenderSession.h"
#include "editor/SessionKeeper.h"
#include "editor/WatermarkDrag.h"
#include "editor/WindowControls.h"
#include "imaging/EffectSettings.h"
#include "imaging/FrameGeometry.h"
#include "platform/filters/Image.h"
#include "platform/media/FrameImage.h"
#include "platform/media/FrameTimes.h"
#include "platform/media/LoudnessMeter.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MovieSpan.h"
#include "platform/media/PlaybackAudio.h"
#include "platform/media/RenderSettings.h"
#include "platform/system/NotificationCenter.h"
#include "platform/ui/TimelineBar.h"
#include "preview/CoalescingGate.h"
#include "preview/PlaybackEngine.h"
#include "preview/PlaybackScale.h"
#include "render/PassMode.h"
#include "render/RenderSpace.h"
#include "settings/ProgressText.h"
#include "settings/SettingsHistory.h"

namespace tintreel {

class Dialogs;
struct ControlRow;
enum class GroupId;
struct GroupRow;
struct Notification;

using SharedImage = std::shared_ptr<const Image>;

class ViewController : public QWidget {
    Q_OBJECT
public:
    // `temporaryDirectory` is this process's private directory (renders leave
    // their movies there, or in a private folder in the user's cache folder
    // when it cannot hold them; DeleteTemporaryFiles empties both).
    // `dialogs` answers every alert and panel.
    ViewController(std::filesystem::path temporaryDirectory, Dialogs& dialogs, QWidget* parent = nullptr);
    ~ViewController() override;

    const Outlets& outlets() const { return outlets_; }
    const SettingsHistory& history() const { return history_; }
    const std::filesystem::path& temporaryDirectory() const { return temporaryDirectory_; }

    // Every control to its default and the session to "no video" (no refresh).
    void ResetInterface();
    // The settings as the controls hold them now.
    EffectSettings currentSettings() const;
    // The settings record of the controls as they are now.
    std::string currentRecord() const;
    // Appends the record of the current settings to the history.
    void AppendSettingsRecord();
    // The recording step after a shown refresh.
    void SaveState();
    // Empties the private temporary directories.
    void DeleteTemporaryFiles();
    // Switches every working control on or off (never the preview button,
    // the tabs or the display-only matrix fields).
    void EnableInterface() { setInterfaceEnabled(true); }
    void DisableInterface() { setInterfaceEnabled(false); }
    // Window delegate: while a render runs, or a rendered movie has not been
    // saved, asks first and refuses when the user says no (everything stays
    // as it was); else ends the kept session (a normal quit leaves nothing to
    // restore), stops a running render and empties the temporary directory.
    bool windowShouldClose();
    // Whether a render is running or being cancelled: the render session's
    // state, which the preview button only shows.
    RenderState renderState() const { return render_.state(); }
    bool isRendering() const { return render_.isRendering(); }
    void ShowVideoPlayer();

    // Loading and previewing. openVideo is what the open panel, a file named
    // on the command line and the recent list share: only movies are loaded,
    // anything else is refused with the usual alert.
    void openVideo(const QString& path);
    void LoadVideo(const QString& path);
    void UpdateImageEffect();
    void ZoomPreview(double factor);
    void RepositionImageInVisibleArea();

    // How the next render runs its effects: one pass (the default) or one per effect.
    void setPassMode(PassMode mode) { passMode_ = mode; }
    PassMode passMode() const { return passMode_; }
    // How the next render encodes its final movie; the container follows
    // the input's when it holds the codec, else it is MP4.
    void setRenderSettings(const RenderSettings& settings) { renderSettings_ = settings; }
    const RenderSettings& renderSettings() const { return renderSettings_; }
    // The crop of the loaded video; nothing for the whole frame. Setting it
    // refreshes the preview; it records nothing for undo.
    const std::optional<PixelRect>& crop() const { return crop_; }
    void setCrop(std::optional<PixelRect> crop);
    // The frame's shape the preview shows: the render's, at the frame's own size.
    ShapeChoice previewGeometry(const EffectSettings& settings) const;
    // Shows the Render Settings dialog; true when the user changed them.
    bool OnRenderSettings();

    // The session that survives a crash (ViewControllerSession.cpp). Kept in
    // `folder` from now on (a controller that is never told keeps nothing).
    void keepSession(const std::filesystem::path& folder);
    // Offers the newest session that an editor which did not quit normally
    // left; true when the user chose to restore it.
    bool offerLeftSession();
    SessionState currentSession() const;
    // The session's controls and picture now, its video loaded and browsed
    // to its position as a load does (in the background).
    void restoreSession(const SessionState& session);
    SessionKeeper& sessionKeeper() { return sessionKeeper_; }

    // Live playback of the look (ViewControllerPlayback.cpp). Play starts at
    // the still's frame (at the movie's start after playing to its end);
    // pause leaves the still at the frame on show. Nothing plays while a
    // render runs or a rendered movie is on show.
    void togglePlayback();
    bool isPlaying() const;
    void setPreviewScale(PreviewScale scale);
    PreviewScale previewScale() const { return previewScale_; }
    // Where playback takes its clock from; by default the sound's (the wall
    // clock without sound or a device). Tests hand in a clock they move.
    using PlaybackClockFactory = std::function<std::unique_ptr<PlaybackClock>()>;
    void setPlaybackClockFactory(PlaybackClockFactory factory) { playbackClockFactory_ = std::move(factory); }
    // The engine of the movie loaded, once it played; null before.
    PlaybackEngine* playbackEngine() const { return playback_.get(); }

    // How many refreshes and frame extractions have started (for tests and
    // the responsiveness benchmark).
    int refreshesStarted() const { return refreshesStarted_; }

    // The loaded movie's frame times: the movie's average rate until its own
    // times have been read (in the background after a load).
    const FrameTimes& frameTimes() const { return frameTimes_; }
    bool frameTimesRead() const { return frameTimesRead_; }
    // The in and out points (ViewControllerSpan.cpp); none: the start, the end.
    std::optional<double> inPoint() const { return inPoint_; }
    std::optional<double> outPoint() const { return outPoint_; }
    // The span a render from the window covers; none: the whole video.
    std::optional<MovieSpan> span() const;

    // Session state, read-only from outside.
    // The loaded movie; empty with none.
    const QString& videoPath() const { return videoPath_; }
    // The movie the last render made, until the still preview is back; empty with none.
    const QString& newVideoPath() const { return render_.newVideoPath(); }
    // The still frame at the browse position and that frame's own time (the
    // time a render gives it).
    const SharedImage& snapshot() const { return snapshot_; }
    double snapshotSeconds() const { return snapshotSeconds_; }
    // The watermark picture and where it was read from (absolute; empty with none).
    const SharedImage& logo() const { return logo_; }
    const QString& logoPath() const { return logoPath_; }
    // The preview refresh (running = updating, pending = selectionChanged)
    // and the frame browse (running = gettingFrame, pending = frameIndexChanged).
    const CoalescingGate& refresh() const { return refresh_; }
    const CoalescingGate& browse() const { return browse_; }

public Q_SLOTS:
    void OnFileNew();
    void OnHowToAddWatermarkOnVideo();
    void OnSelectVideo();
    void OnBrowseFrames();
    void OnSelectImage();
    void OnSelectColorTable();
    void OnClearColorTable();
    void OnExportColorTable();
    void OnZoomIn();
    void OnZoomOut();
    void OnResetZoom();
    void OnActualPixels();
    void OnUndo();
    void OnRedo();
    void OnGeneratePreview();
    void OnSaveVideo();
    void OnSaveProfile();
    void OnSaveProfileAs();
    void OnLoadProfile();
    // Shows "Pause" on the play button while playing, "Play" otherwise; nothing more.
    void setPlaying(bool playing);

Q_SIGNALS:
    // The window title should change (New sets "Tintreel").
    void titleChanged(const QString& title);
    // Undo, redo or a profile command became available or unavailable.
    void commandsChanged();
    // A refresh result was put on screen (every result of a burst is).
    void previewShown();
    // A render ended, with any of its three endings; `succeeded` when it
    // made a movie.
    void renderFinished(bool succeeded);
    // A save of the rendered movie ended (after its alert); `saved` when the file is in place.
    void saveFinished(bool saved);
    // A video was loaded and shows its first frame.
    void videoOpened(const QString& path);
    // The play button or Space on the preview or the timeline: start or pause playing.
    void playRequested();
    // Playback showed the frame `frameIndex` at `seconds`.
    void playbackPositionChanged(double seconds, qint64 frameIndex);
    void playingChanged(bool playing);

protected:
    // Holding the backslash key compares with the frame without effects; a
    // text field that takes the key keeps it.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // ViewController.cpp
    void buildInterface();
    QWidget* buildPreviewArea();
    QWidget* buildCommandBar();
    void setInterfaceEnabled(bool enabled);
    void showProgressIndicator(bool visible);
    void showStillPreview(bool still = true);
    // Back from a rendered movie to the still preview: the movie is
    // forgotten, so there is nothing to save and a new render may start.
    void returnToStillPreview();
    // The preview and save buttons as the render state and the session
    // allow: a render may start with a video loaded and no rendered movie on
    // show; a rendered movie on show may be saved.
    void updateMovieButtons();
    void pausePlayer();
    void updateBrowseTime();

    // ViewControllerActions.cpp
    void connectControls();
    void connectControl(const ControlRow& control);
    void onControlAction(const ControlRow& control);
    void onPairStepper(const ControlRow& control);
    void onPairTextEdited(const ControlRow& control);
    void onMatrixCell(const ControlRow& control);
    void OnTextChanged();
    void onGroupReset(const GroupRow& group);
    void refreshIf(int gateState);
    // A group's check box state (1 for the adjustments, which have none),
    // read from that one control rather than from all of them.
    int groupCheckState(GroupId group) const;
    bool differsFromCurrentRecord(const QString& text, std::string_view outlet) const;

    // ViewControllerPreview.cpp
    void DragPerformed(const Notification& notification);
    // What a load reads off the GUI thread: the first frame, the shape the
    // frames are shown in, and the movie's facts (a render reads them rather
    // than probing the file again).
    struct LoadedVideo {
        std::optional<TimedFrame> firstFrame;
        QSize displayShape;
        MediaAsset movie;
        QString whyNotLoaded = {};  // without a first frame: the alert's detail
    };
    void finishLoad(const QString& path, LoadedVideo loaded);
    void takeSnapshot(Image frame, double seconds);
    // Shows the frame without effects while `comparing` (the Compare button,
    // or the backslash key held down outside a text field).
    void compareWithSource(bool comparing);
    void finishBrowse(std::optional<TimedFrame> frame);
    void finishRefresh(QImage result);
    void onPreviewDragged(const QPointF& delta, const QPointF& windowPosition);

    // The watermark drag's wiring (ViewControllerPreview.cpp).
    void connectWatermarkDrag();
    // Crop mode (ViewControllerCrop.cpp): the preview shows the whole frame
    // and a drag on it draws the video's crop.
    void connectCropDrag();
    void setCropMode(bool on);
    QWidget* buildCropFields();
    void showCropInFields();
    void onCropFieldsEdited();
    void clearCrop();
    void placeCrop(std::optional<PixelRect> crop);
    bool dragsFocus() const;
    void moveFocusBy(const QPointF& delta);
    void endFocusDrag();
    // The watermark a press at `framePoint` would grab: a switched-on one
    // drawn there, while its controls take input.
    std::optional<WatermarkKind> grabbableWatermarkAt(QPointF framePoint) const;
    void onWatermarkPressed(const QPointF& framePoint);
    void onWatermarkDragged(const QPointF& framePoint);
    void onWatermarkReleased();

    // ViewControllerTimeline.cpp
    QWidget* buildTimelineRow();
    // The stepper's arrows go to the next or previous whole second from a
    // position between two (the timeline leaves it there).
    void onBrowseStepper();
    void browseTo(double seconds);
    void onTimelineStep(TimelineBar::Step step);
    // Where the timeline stands: the position asked for while its frame is
    // being found, else the shown frame's own time.
    double timelinePosition() const;
    double timelineDuration() const;
    void updateTimeline();
    void showTimelineAt(double position);
    void startTimeline();  // after a load
    void resetTimeline();
    void stopReadingFrameTimes();

    // ViewControllerSpan.cpp
    QWidget* buildSpanFields();
    void onTimelineMark(TimelineBar::Mark mark, bool clear);
    void onSpanFieldEdited(TimelineBar::Mark mark);
    // Sets or (none) clears one point; a point past the other clears that one.
    void setSpanPoint(TimelineBar::Mark mark, std::optional<double> seconds);
    void showSpan();
    double playbackStart(double position) const;

    // ViewControllerRender.cpp
    void connectRenderSession();
    void showProgress(const RenderProgress& report);
    void showRenderWaiting(const QString& message);
    void hideRenderProgress();
    void startRender(RenderRequest request);
    void onRenderFinished(RenderOutcome outcome);
    void showSaving(const QString& destination);
    void showSaveProgress(float share);
    void onSaveFinished(RenderOutcome outcome, const QString& failure);
    // What closing now would lose, as the question to ask; nothing when nothing would be lost.
    std::optional<QString> workClosingWouldLose() const;

    // ViewControllerPlayback.cpp
    PlaybackEngine& playbackEngineForVideo();
    void handPlaybackTheLook();
    // The sound controls (ViewControllerSound.cpp).
    void startSoundForVideo();
    void forgetSound();
    void measureLoudnessInBackground(const std::filesystem::path& movie);
    void takeLoudness(std::vector<TrackLoudness> tracks);
    void showSoundNote(const QString& text);
    PlaybackShaping playbackShaping() const;
    double spanStart() const;
    EffectSettings lookOnTheSpan() const;
    void onPlaybackFrame(const QImage& picture, double seconds, qint64 frameIndex);
    void onPlaybackStopped(const QString& why);
    void onPlayingChanged(bool playing);
    // Back to the still at the frame playback stopped on.
    void settleOnPlaybackFrame();
    void stopPlayback();
    // A new video, or none: the engine of the old one goes.
    void forgetPlayback();
    void updatePlaybackIndicator();
    int viewShrink() const;

    // ViewControllerHistory.cpp
    void restoreRecord(const std::string& record);
    bool writeProfile(const QString& path);
    // Reads the watermark picture at `path` and shows its name; false when it cannot be read.
    bool loadLogo(const QString& path);
    // Sets the colour table's file field and shows the look with it.
    void showColorTable(const QString& path);
    // Reads the table at `path` and shows it; false (after an alert) when it cannot be used.
    bool takeColorTable(const QString& path);
    // A table file dropped on the preview: chosen and switched on.
    void onColorTableDropped(const QString& path);
    void restoreLogo(const QString& path);
    void clearLogo();

    std::filesystem::path temporaryDirectory_;
    RenderFolders renderFolders_;  // where each render writes: temporaryDirectory_ or the cache folder's
    Dialogs& dialogs_;
    Outlets outlets_;
    WindowControls controls_;  // resolved once, right after the window is built
    QString videoPath_;
    // The still frame and the watermark picture are shared read-only with
    // the refresh that is running, so handing them to a background refresh
    // copies no pixels; replacing one swaps the pointer.
    SharedImage snapshot_ = std::make_shared<const Image>();
    double snapshotSeconds_ = 0.0;  // the own time of the frame in `snapshot_`
    double browsePosition_ = 0.0;   // the position last asked for (the stepper's value)
    FrameTimes frameTimes_;
    bool frameTimesRead_ = false;
    std::optional<double> inPoint_, outPoint_;  // of the loaded video, in seconds
    std::shared_ptr<std::atomic<bool>> stopFrameTimes_ = std::make_shared<std::atomic<bool>>(false);
    bool interfaceEnabled_ = true;  // false while a render runs
    MediaAsset videoFacts_;         // what the load's probe found: length, track, rotation
    SharedImage logo_ = std::make_shared<const Image>();
    QString logoPath_;
    // The loaded video's crop, in pixels of its upright picture; it belongs
    // to this video (the session keeps it), not to the look.
    std::optional<PixelRect> crop_;
    bool cropMode_ = false;
    bool focusDragging_ = false;  // a drag moves the crop-to-fill focus; recorded once it ends
    CropDrag cropDrag_;
    CoalescingGate refresh_;
    CoalescingGate browse_;
    SettingsHistory history_;
    PassMode passMode_ = PassMode::One;
    RenderSettings renderSettings_;
    QString profilePath_;
    int loadGeneration_ = 0;  // only the newest load's frame is installed
    bool loading_ = false;    // the newest load has not ended yet
    // The loaded movie's loudness, track by track, once measured; the newest
    // measurement's number and its cancel flag (set when the movie goes).
    std::optional<std::vector<TrackLoudness>> loudness_;
    int loudnessGeneration_ = 0;
    std::shared_ptr<std::atomic<bool>> loudnessCancel_ = std::make_shared<std::atomic<bool>>(false);
    int refreshesStarted_ = 0;
    WatermarkDrag watermarkDrag_;
    RenderSession render_;
    ObserverToken dragObserver_;
    SessionKeeper sessionKeeper_{[this] { return currentSession(); }};
    PreviewScale previewScale_ = PreviewScale::Automatic;
    PlaybackClockFactory playbackClockFactory_;
    QLabel* playbackIndicator_ = nullptr;
    std::unique_ptr<PlaybackEngine> playback_;  // made at the first play; its thread ends with it
    QThreadPool pool_;                          // last member: destroyed first, waiting for its tasks
};

}  // namespace tintreel
