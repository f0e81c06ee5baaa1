// Entry point of the editor: the Qt main loop with the dark theme and the
// application delegate.
#include <QApplication>

#include "app/AppDelegate.h"
#include "app/QuitOnSignal.h"
#include "app/Theme.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tintreel"));
    QApplication::setApplicationName(QStringLiteral("Tintreel"));
    QApplication::setApplicationVersion(QStringLiteral(TINTREEL_VERSION));
    tintreel::applyDarkTheme(app);
    tintreel::quitOnTerminationSignals(&app);
    tintreel::AppDelegate delegate;
    if (!delegate.applicationDidFinishLaunching()) return 1;
    return QApplication::exec();
}
