#include "cli/CliProgram.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <csignal>
#include <thread>

namespace tintreel::test {
namespace fs = std::filesystem;

CliRun runCli(const QStringList& arguments, const fs::path& runtimeDirectory, int signalAfterMs) {
    // A runtime directory is private to its user; Qt says so on standard error otherwise.
    fs::permissions(runtimeDirectory, fs::perms::owner_all, fs::perm_options::replace);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", q(runtimeDirectory));
    process.setProcessEnvironment(environment);
    process.start(QString(TINTREEL_RENDER_PATH), arguments);
    process.waitForStarted();
    if (signalAfterMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(signalAfterMs));
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    }
    process.waitForFinished(120000);
    return {process.exitCode(), process.readAllStandardError().toStdString(),
            process.readAllStandardOutput().toStdString()};
}

QString q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace tintreel::test
