// Entry point of the editor: the Qt main loop with the dark theme and the
// application delegate. `tintreel [FILE]` opens FILE at start.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>

#include "app/AppDelegate.h"
#include "app/QuitOnSignal.h"
#include "app/Theme.h"

namespace {

// The file named on the command line, made absolute against the folder the
// program was started in; empty when none was given. --help and --version
// print and exit here.
QString fileToOpen(const QApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Adjust colours, add effects and watermarks to a video."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A video to open."),
                                 QStringLiteral("[FILE]"));
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    return files.isEmpty() ? QString() : QFileInfo(files.first()).absoluteFilePath();
}

// The installed theme icon when there is one, else the copy built in.
QIcon applicationIcon() {
    QIcon builtIn;
    for (const QString& name : QDir(QStringLiteral(":/icons")).entryList())
        builtIn.addFile(QStringLiteral(":/icons/") + name);
    return QIcon::fromTheme(QStringLiteral("org.tintreel.Tintreel"), builtIn);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tintreel"));
    QApplication::setApplicationName(QStringLiteral("Tintreel"));
    QApplication::setApplicationVersion(QStringLiteral(TINTREEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.tintreel.Tintreel"));
    QApplication::setWindowIcon(applicationIcon());
    const QString file = fileToOpen(app);
    tintreel::applyDarkTheme(app);
    tintreel::quitOnTerminationSignals(&app);
    tintreel::AppDelegate delegate;
    if (!delegate.applicationDidFinishLaunching(file)) return 1;
    return QApplication::exec();
}
