#include "cli/CliProgram.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "support/Clips.h"

namespace tintreel::test {
namespace fs = std::filesystem;

namespace {

// When to send which signal or do what, and how long a run may take.
struct Timing {
    int signalAfterMs = -1;
    int signal = SIGINT;
    int limitMs = 120000;
    std::string actAfter = {};
    std::function<void()> act = {};
};

CliRun runProcess(QProcess& process, const QString& program, const QStringList& arguments,
                  const fs::path& runtimeDirectory, const std::map<QString, QString>& extra,
                  const Timing& timing) {
    // A runtime directory is private to its user; Qt says so on standard error otherwise.
    fs::create_directories(runtimeDirectory);
    fs::permissions(runtimeDirectory, fs::perms::owner_all, fs::perm_options::replace);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", q(runtimeDirectory));
    for (const auto& [name, value] : extra) environment.insert(name, value);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForStarted();
    if (timing.signalAfterMs >= 0) {
        // Counted from the first line on standard error, when the run is under
        // way whatever the start-up took on a loaded machine.
        process.setReadChannel(QProcess::StandardError);
        process.waitForReadyRead(timing.limitMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(timing.signalAfterMs));
        ::kill(static_cast<pid_t>(process.processId()), timing.signal);
    }
    std::string seen;
    if (timing.act) {
        process.setReadChannel(QProcess::StandardError);
        while (seen.find(timing.actAfter) == std::string::npos && process.waitForReadyRead(timing.limitMs))
            seen += process.readAllStandardError().toStdString();
        timing.act();
    }
    if (!process.waitForFinished(timing.limitMs)) {
        process.kill();
        process.waitForFinished();
        return {-1,
                seen + process.readAllStandardError().toStdString() +
                    "\n(killed: still running after the time limit)",
                process.readAllStandardOutput().toStdString()};
    }
    const int status = process.exitStatus() == QProcess::CrashExit ? -2 : process.exitCode();
    return {status, seen + process.readAllStandardError().toStdString(),
            process.readAllStandardOutput().toStdString()};
}

}  // namespace

CliRun runCli(const QStringList& arguments, const fs::path& runtimeDirectory, int signalAfterMs, int signal,
              int limitMs) {
    QProcess process;
    return runProcess(process, QString(TINTREEL_RENDER_PATH), arguments, runtimeDirectory, {},
                      Timing{signalAfterMs, signal, limitMs});
}

CliRun runCli(const QStringList& arguments, const fs::path& runtimeDirectory, const std::string& actAfter,
              const std::function<void()>& act) {
    QProcess process;
    return runProcess(process, QString(TINTREEL_RENDER_PATH), arguments, runtimeDirectory, {},
                      Timing{.actAfter = actAfter, .act = act});
}

::testing::AssertionResult endedOnItsOwn(const CliRun& run) {
    if (run.status == -1) return ::testing::AssertionFailure() << "hung";
    if (run.status == -2) return ::testing::AssertionFailure() << "crashed: " << run.errors;
    return ::testing::AssertionSuccess();
}

CliRun runTool(const QString& program, const QStringList& arguments, const fs::path& runtimeDirectory,
               const fs::path& workingDirectory, const std::map<QString, QString>& extra) {
    QProcess process;
    process.setWorkingDirectory(q(workingDirectory));
    std::map<QString, QString> variables = extra;
    variables.emplace("TINTREEL_RENDER", QString(TINTREEL_RENDER_PATH));
    return runProcess(process, program, arguments, runtimeDirectory, variables, Timing{});
}

QString q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

fs::path testDirectory(const std::string& prefix) {
    return scratchDirectory(prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

long entryCount(const fs::path& directory) {
    std::error_code ec;
    long count = 0;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) ++count;
    return count;
}

std::string fileContents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

long ourLines(const std::string& errors) {
    return QString::fromStdString(errors).count("tintreel-render: ");
}

void expectRefusal(const CliRun& run, const std::string& why) {
    EXPECT_EQ(run.status, 2) << run.errors;
    EXPECT_EQ(ourLines(run.errors), 1) << run.errors;
    EXPECT_NE(run.errors.find(why), std::string::npos) << run.errors;
}

}  // namespace tintreel::test
