#pragma once
// AppDelegate: owns what lives as long as the application: the private
// temporary directory, the dialogs and the main window. Closing the last
// window ends the process; destroying the delegate removes the directory.
//
// GUI thread only.

#include <memory>
#include <optional>

#include <QString>

#include "platform/system/TemporaryDirectory.h"

namespace tintreel {

class MainWindow;
class QtDialogs;

class AppDelegate {
public:
    AppDelegate();
    ~AppDelegate();

    // Builds and shows the window, keeps its session, offers the session an
    // editor that did not quit normally left, and otherwise opens `file` when
    // one is given, as if it had been chosen in the open panel; false when
    // the private temporary directory could not be made (a message has been
    // printed).
    bool applicationDidFinishLaunching(const QString& file = {});
    MainWindow* window() const { return window_.get(); }

private:
    std::optional<TemporaryDirectory> temporaryDirectory_;
    std::unique_ptr<QtDialogs> dialogs_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace tintreel
