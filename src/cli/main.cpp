// tintreel-render: the headless front end over the same engine as the editor.
// It parses the command line, checks OUTPUT, resolves the settings and hands
// over to the still, the movie or the join mode.
#include <QGuiApplication>
#include <algorithm>
#include <iostream>

#include "cli/CliOptions.h"
#include "cli/JoinCommand.h"
#include "cli/MovieCommand.h"
#include "cli/OutputTarget.h"
#include "cli/StillCommand.h"

namespace {

bool isPicture(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    return extension == ".png" || extension == ".jpg" || extension == ".jpeg";
}

int run(const tintreel::CliOptions& options) {
    // Before anything is read: a run that would lose a file or cannot write
    // its result does nothing.
    if (const auto problem = tintreel::outputProblem(options)) {
        std::cerr << "tintreel-render: " << *problem << std::endl;
        return tintreel::kExitBadInput;
    }
    if (options.join) return tintreel::runJoin(options);
    const auto resolved = tintreel::resolveSettings(options);
    if (const auto* problem = std::get_if<std::string>(&resolved)) {
        std::cerr << "tintreel-render: " << *problem << std::endl;
        return tintreel::kExitBadInput;
    }
    const auto& settings = std::get<tintreel::EffectSettings>(resolved);
    if (isPicture(options.input)) {
        if (!options.still) {
            std::cerr << "tintreel-render: a picture INPUT needs --still" << std::endl;
            return tintreel::kExitBadInput;
        }
        return tintreel::runStillPicture(options, settings);
    }
    return options.still ? tintreel::runStillFrame(options, settings) : tintreel::runMovie(options, settings);
}

// Qt's own warnings (a missing runtime directory, font fallbacks) are not
// this tool's messages: its errors are one line each, on standard error.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << std::endl;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto parsed = tintreel::parseCommandLine(arguments);
    if (const auto* exit = std::get_if<tintreel::CliExit>(&parsed)) {
        (exit->status == tintreel::kExitSuccess ? std::cout : std::cerr) << exit->message << std::endl;
        return exit->status;
    }
    // Text drawing needs a GUI application object; no display is needed.
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietQtMessages);
    QGuiApplication app(argc, argv);
    return run(std::get<tintreel::CliOptions>(parsed));
}
