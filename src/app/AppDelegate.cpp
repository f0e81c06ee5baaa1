#include "app/AppDelegate.h"

#include <QApplication>

#include "app/MainWindow.h"
#include "editor/ViewController.h"
#include "platform/system/Log.h"
#include "platform/ui/Dialogs.h"

namespace tintreel {

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
    if (!file.isEmpty()) controller->openVideo(file);
    return true;
}

}  // namespace tintreel
