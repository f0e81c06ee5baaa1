#pragma once
// MainWindow: the editor's one window. Its content is the ViewController; it
// carries the menu with the commands and their shortcuts, and asks the
// controller before it closes (which empties the temporary directory).
//
// GUI thread only.

#include <QMainWindow>

class QAction;

namespace tintreel {

class Dialogs;
class ViewController;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(ViewController* controller);

    ViewController* controller() const { return controller_; }
    // The menu command with this object name (for tests and tools).
    QAction* command(const QString& name) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void addRenderSettingsCommand(QMenu* menu);
    void addPassModeChoice(QMenu* menu);
    void addRecentVideos(QMenu* file);
    void fillRecentVideos(QMenu* menu);
    void tellUserRenderEnded(bool succeeded);
    QAction* addCommand(QMenu* menu, const QString& name, const QString& text, const QKeySequence& shortcut);
    void updateCommands();

    ViewController* controller_;
};

}  // namespace tintreel
