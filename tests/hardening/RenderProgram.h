#pragma once
// Runs the real tintreel-render for the hardening tests: with its private
// temporary directory under a directory of the test's choosing (so the test
// can see what it leaves behind), an optional file-size limit standing in
// for a full disk, and a time limit after which it is killed and counted as
// hung.

#include <gtest/gtest.h>

#include <QStringList>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tintreel::test {

struct ProgramRun {
    bool finished = false;  // false: killed after the time limit (a hang)
    bool crashed = false;   // ended by a signal
    int status = -1;
    std::string errors;  // standard error
};

struct ProgramLimits {
    std::filesystem::path runtimeDirectory = {};  // becomes XDG_RUNTIME_DIR
    long long fileSizeLimit = -1;                 // bytes; SIGXFSZ ignored, so writes fail with EFBIG
    int timeoutMs = 120000;
    // Done to the running program once `actAfter` has printed on standard
    // error (a progress line, say); nothing when empty.
    std::string actAfter = {};
    std::function<void()> act = {};
};

ProgramRun runRenderProgram(const QStringList& arguments, const ProgramLimits& limits);

// Success when the program ended by itself: neither killed as hung nor
// ended by a signal (the failure names which, with its standard error).
::testing::AssertionResult endedOnItsOwn(const ProgramRun& run);

// The entries directly inside `directory` (empty when it does not exist).
std::vector<std::filesystem::path> entriesOf(const std::filesystem::path& directory);

QString qpath(const std::filesystem::path& path);

}  // namespace tintreel::test
