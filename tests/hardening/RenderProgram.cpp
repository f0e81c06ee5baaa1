#include "hardening/RenderProgram.h"

#include <sys/resource.h>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <csignal>
#include <system_error>
#include <vector>

namespace tintreel::test {
namespace fs = std::filesystem;

ProgramRun runRenderProgram(const QStringList& arguments, const ProgramLimits& limits) {
    // A runtime directory is private to its user; Qt says so on standard error otherwise.
    fs::create_directories(limits.runtimeDirectory);
    fs::permissions(limits.runtimeDirectory, fs::perms::owner_all, fs::perm_options::replace);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", qpath(limits.runtimeDirectory));
    process.setProcessEnvironment(environment);
    if (limits.fileSizeLimit >= 0) {
        const rlim_t limit = static_cast<rlim_t>(limits.fileSizeLimit);
        // Runs in the child between fork and exec: only async-signal-safe calls.
        process.setChildProcessModifier([limit] {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit fileSize{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
        });
    }
    process.start(QString(TINTREEL_RENDER_PATH), arguments);
    ProgramRun run;
    if (!process.waitForStarted()) return run;
    QElapsedTimer clock;
    clock.start();
    if (limits.act) {
        std::string seen;
        process.setReadChannel(QProcess::StandardError);
        while (seen.find(limits.actAfter) == std::string::npos && process.waitForReadyRead(limits.timeoutMs))
            seen += process.readAllStandardError().toStdString();
        limits.act();
        run.errors = seen;
    }
    run.finished = process.waitForFinished(std::max<int>(0, limits.timeoutMs - clock.elapsed()));
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.crashed = run.finished && process.exitStatus() == QProcess::CrashExit;
    run.status = process.exitCode();
    run.errors += process.readAllStandardError().toStdString();
    return run;
}

::testing::AssertionResult endedOnItsOwn(const ProgramRun& run) {
    if (!run.finished) return ::testing::AssertionFailure() << "hung";
    if (run.crashed) return ::testing::AssertionFailure() << "crashed: " << run.errors;
    return ::testing::AssertionSuccess();
}

std::vector<fs::path> entriesOf(const fs::path& directory) {
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    return entries;
}

QString qpath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace tintreel::test
