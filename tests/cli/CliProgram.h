#pragma once
// Runs the real tintreel-render for the command-line tests, with its private
// temporary directory (XDG_RUNTIME_DIR) in a directory of the test's choosing
// so that the test sees anything it leaves behind.

#include <gtest/gtest.h>

#include <QStringList>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tintreel::test {

struct CliRun {
    int status;          // -1: killed after the time limit (a hang); -2: ended by a signal
    std::string errors;  // standard error
    std::string output;  // standard output: the log lines
};

// Runs the program with `arguments`; `signal` (SIGINT by default)
// `signalAfterMs` after its first output, when not negative. A run that has
// not ended after `limitMs` is killed and reported with status -1, one that
// a signal ended with status -2.
CliRun runCli(const QStringList& arguments, const std::filesystem::path& runtimeDirectory,
              int signalAfterMs = -1, int signal = SIGINT, int limitMs = 120000);

// Runs the program and does `act` once `actAfter` has shown on standard
// error (a progress line, say), while it renders.
CliRun runCli(const QStringList& arguments, const std::filesystem::path& runtimeDirectory,
              const std::string& actAfter, const std::function<void()>& act);

// Success when the run ended by itself: neither killed as hung nor ended by a
// signal (the failure names which, with its standard error).
::testing::AssertionResult endedOnItsOwn(const CliRun& run);

// Runs another `program` (a shell, GNU parallel) the same way, in `workingDirectory`,
// with TINTREEL_RENDER naming our program and the `extra` variables set.
CliRun runTool(const QString& program, const QStringList& arguments,
               const std::filesystem::path& runtimeDirectory, const std::filesystem::path& workingDirectory,
               const std::map<QString, QString>& extra = {});

QString q(const std::filesystem::path& path);

// A fresh scratch directory named by `prefix` and the running test, so that
// cases CTest runs side by side never share one.
std::filesystem::path testDirectory(const std::string& prefix);

// How many entries `directory` holds (0 when it does not exist).
long entryCount(const std::filesystem::path& directory);

std::string fileContents(const std::filesystem::path& file);
std::vector<std::string> linesOf(const std::string& text);

// How many lines of ours `errors` holds (the libraries may add their own).
long ourLines(const std::string& errors);

// Adds failures unless `run` ended with status 2 and one line of ours holding `why`.
void expectRefusal(const CliRun& run, const std::string& why);

}  // namespace tintreel::test
