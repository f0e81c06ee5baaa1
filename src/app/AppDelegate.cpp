#include "app/AppDelegate.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

#include "app/MainWindow.h"
#include "editor/ViewController.h"
#include "platform/system/Log.h"
#include "platform/ui/Dialogs.h"

namespace tintreel {
namespace {

// Where the editor keeps its session for after a crash: the user's data folder.
std::filesystem::path sessionFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString() + "/sessions";
}

}  // namespace

AppDelegate::AppDelegate() = default;

AppDelegate::~AppDelegate() {
    window_.reset();  // the window goes before the directory it renders into
}

bool AppDelegate::applicationDidFinishLaunching(const QString& file) {
    temporaryDirectory_ = TemporaryDirectory::create();
    if (!temporaryDirectory_) {
        logLine("Error: could not create a private temporary directory");
        return false;
    }
    dialogs_ = std::make_unique<QtDialogs>(nullptr);
    auto* controller = new ViewController(temporaryDirectory_->path(), *dialogs_);
    window_ = std::make_unique<MainWindow>(controller, *dialogs_);
    QApplication::setQuitOnLastWindowClosed(true);
    window_->show();
    controller->keepSession(sessionFolder());
    // Asked from the running event loop, so a signal that ends the program
    // ends it also while the question is open. A restored session brings its
    // own video back: it wins over a file named on the command line.
    QTimer::singleShot(0, controller, [controller, file] {
        if (!controller->offerLeftSession() && !file.isEmpty()) controller->openVideo(file);
    });
    return true;
}

}  // namespace tintreel
