#pragma once
// The Batch Render window: one look applied to many videos. The user adds
// videos and folders (buttons or drop), chooses the look (the editor's
// current settings or a saved profile), the output folder and a name
// pattern, the encoding and the number of jobs; then starts, watches one row
// per video (state, percent, time left), cancels one video or all, opens
// the output folder, and reads the summary. The editor stays usable
// meanwhile; its renders share the jobs' limit (RenderSlots).
//
// Ownership: owns its batch queue, whose worker threads end before the
// window does (closing the window only hides it; destroying it cancels the
// batch and waits). Threads: GUI thread only; the queue's reports arrive as
// queued calls.

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "platform/media/RenderSettings.h"
#include "render/BatchQueue.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace tintreel {

class Dialogs;

class BatchWindow : public QWidget {
    Q_OBJECT
public:
    // `editorLook` gives the editor's current settings and picture when a
    // batch starts with them; `dialogs` answers the window's panels and
    // alerts and must outlive it.
    BatchWindow(std::function<BatchLook()> editorLook, Dialogs& dialogs, QWidget* parent = nullptr);
    ~BatchWindow() override;

    // Adds rows for files, and for the movies of folders (their subfolders'
    // too when "Include Subfolders" is on); a file already listed is not added again.
    void addInputs(const QStringList& paths);
    bool isRunning() const { return running_; }
    // The summary of the last batch: "3 done, 0 skipped, 1 failed, 0 cancelled; failed: …".
    QString summary() const;

    void start();
    void cancelSelected();
    void cancelAll();
    void openOutputFolder();

Q_SIGNALS:
    // A batch ended; `allSucceeded` when every video was done or skipped.
    void batchFinished(bool allSucceeded, const QString& summary);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    enum Column { kVideo, kState, kProgress, kTimeLeft, kColumns };

    struct Row {
        std::filesystem::path file;
        std::filesystem::path mirrorRoot;
    };

    QWidget* buildInputs();
    QWidget* buildOutput();
    QWidget* buildCommands();
    void addRow(const BatchInput& input);
    void chooseVideos();
    void chooseFolder();
    void chooseProfile();
    void chooseOutputFolder();
    void editRenderSettings();
    void removeSelected();
    void clearRows();
    void showRenderSettings();
    void updateCommands();
    void restoreChoices();
    void rememberChoices() const;

    std::optional<BatchLook> lookToApply();
    std::optional<std::vector<PlannedJob>> plannedJobs(const std::vector<std::filesystem::path>& readFiles);
    void showWaiting(int row);
    void showReport(const JobReport& report);
    void finish(const BatchCounts& counts);

    std::function<BatchLook()> editorLook_;
    Dialogs& dialogs_;
    std::vector<Row> rows_;
    RenderSettings renderSettings_;
    QString profilePath_;

    QTableWidget* table_ = nullptr;
    QCheckBox* subfolders_ = nullptr;
    QComboBox* look_ = nullptr;
    QLabel* profileLabel_ = nullptr;
    QLineEdit* outputFolder_ = nullptr;
    QLineEdit* namePattern_ = nullptr;
    QLabel* encoding_ = nullptr;
    QSpinBox* jobs_ = nullptr;
    QComboBox* existing_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* cancelSelected_ = nullptr;
    QPushButton* cancelAll_ = nullptr;

    bool running_ = false;
    BatchListener listener_;
    std::unique_ptr<BatchQueue> queue_;
};

}  // namespace tintreel
