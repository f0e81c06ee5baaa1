#pragma once
// ViewController: the controller of the editor's single window. It owns the
// session (the loaded movie, the still frame, the watermark picture, the
// settings history, the rendered preview, the flags that keep background
// work from overlapping) and holds every control through its outlets; the
// controls themselves are the store of the effect settings.
//
// Its operations are spread over files by concern (window and commands here;
// loading, browsing, refreshing, rendering and saving beside it).
// GUI thread only; background work receives copies and reports back through
// queued calls.

#include <QWidget>
#include <filesystem>

#include "editor/Outlets.h"
#include "editor/SettingsHistory.h"
#include "imaging/EffectSettings.h"
#include "platform/filters/Image.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace tintreel {

class Dialogs;
class SettingsManager;
class VideoImageView;

class ViewController : public QWidget {
    Q_OBJECT
public:
    // `temporaryDirectory` is this process's private directory (renders leave
    // their movies there; DeleteTemporaryFiles empties it). `dialogs` answers
    // every alert and panel.
    ViewController(std::filesystem::path temporaryDirectory, Dialogs& dialogs, QWidget* parent = nullptr);
    ~ViewController() override;

    const Outlets& outlets() const { return outlets_; }

    // Every control to its default and the session to "no video" (no refresh).
    void ResetInterface();
    // The settings as the controls hold them now.
    EffectSettings currentSettings() const;
    // Appends the record of the current settings to the history.
    void AppendSettingsRecord();
    // The recording step after a shown refresh.
    void SaveState();
    // Empties the private temporary directory.
    void DeleteTemporaryFiles();
    // Switches the 118 working controls on or off (never the preview button,
    // the tabs or the display-only matrix fields).
    void EnableInterface() { setInterfaceEnabled(true); }
    void DisableInterface() { setInterfaceEnabled(false); }

    // Window delegate: empties the temporary directory; closing is never refused.
    bool windowShouldClose();

    const SettingsHistory& history() const { return history_; }
    const std::filesystem::path& temporaryDirectory() const { return temporaryDirectory_; }

    // Session state.
    SettingsManager& settingsManager;
    QString videoPath;
    QString newVideoPath;
    Image snapshot;
    Image logo;
    bool updating = false;
    bool selectionChanged = false;
    bool gettingFrame = false;
    bool frameIndexChanged = false;

public Q_SLOTS:
    void OnFileNew();
    void OnAppQuit();
    void OnHowToAddWatermarkOnVideo();

Q_SIGNALS:
    // The window title should change (New sets "Tintreel").
    void titleChanged(const QString& title);
    // Undo, redo or a profile command became available or unavailable.
    void commandsChanged();

private:
    void buildInterface();
    QWidget* buildPreviewArea();
    QWidget* buildCommandBar();
    void setInterfaceEnabled(bool enabled);

    std::filesystem::path temporaryDirectory_;
    Dialogs& dialogs_;
    Outlets outlets_;
    SettingsHistory history_;
};

}  // namespace tintreel
