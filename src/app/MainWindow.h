#pragma once
// MainWindow: the editor's main window. Its content is the ViewController; it
// carries the menu with the commands and their shortcuts, owns the Batch
// Render window (made when first asked for), and asks the controller before
// it closes (which empties the temporary directory).
//
// GUI thread only. `dialogs` answers the window's panels and alerts and
// must outlive it.

#include <QMainWindow>

class QAction;

namespace tintreel {

class BatchWindow;
class Dialogs;
class ViewController;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(ViewController* controller, Dialogs& dialogs);
    ~MainWindow() override;

    ViewController* controller() const { return controller_; }
    // The Batch Render window, made and shown by File > Batch Render.
    BatchWindow* batchWindow();
    // The menu command with this object name (for tests and tools).
    QAction* command(const QString& name) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void addRenderSettingsCommand(QMenu* menu);
    void addPassModeChoice(QMenu* menu);
    void addPreviewScaleChoice(QMenu* view);
    void addRecentVideos(QMenu* file);
    void fillRecentVideos(QMenu* menu);
    void tellUserRenderEnded(bool succeeded);
    void tellUserBatchEnded(bool allSucceeded, const QString& summary);
    // Asks for attention on `window` and shows a desktop notice.
    void tellUser(QWidget* window, const QString& title, const QString& body);
    QAction* addCommand(QMenu* menu, const QString& name, const QString& text, const QKeySequence& shortcut);
    void updateCommands();

    ViewController* controller_;
    Dialogs& dialogs_;
    BatchWindow* batch_ = nullptr;  // a child of this window, shown as a window of its own
};

}  // namespace tintreel
