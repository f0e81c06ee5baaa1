#include "cli/JobOutput.h"

#include <unistd.h>
#include <iostream>
#include <mutex>

#include "cli/CliOptions.h"
#include "cli/OutputTarget.h"
#include "platform/system/Log.h"
#include "settings/ProgressText.h"

namespace tintreel {
namespace {

std::mutex& streamLock() {
    static std::mutex lock;
    return lock;
}

// The line a problem prints, or nothing.
std::optional<std::string> problemLine(const JobEnd& end, const PlannedJob& files) {
    const std::string prefix = "tintreel-render: ";
    switch (end.problem) {
        case JobProblem::None:
            return std::nullopt;
        case JobProblem::OutputExists:
            return prefix + existsMessage(files.output) + ", or --skip-existing to keep it";
        case JobProblem::OutputFolder:
            return prefix + end.detail;
        case JobProblem::NotAMovie:
            return prefix + "cannot use " + quotedPath(files.input) +
                   ": not a movie (see --help for the extensions)";
        case JobProblem::BadInput:
            return prefix + "cannot use " + quotedPath(files.input) + ": " + end.detail;
        case JobProblem::NoTemporaryDirectory:
            return prefix + "cannot create a private temporary directory";
        case JobProblem::RenderFailed:
            return "Could not generate preview.";
        case JobProblem::OutOfMemory:
            return prefix + "not enough memory to render " + quotedPath(files.input);
        case JobProblem::NotWritten:
            return prefix + "cannot write " + quotedPath(files.output) + ": " + end.detail;
        case JobProblem::OutputTaken:
            return prefix + "OUTPUT " + quotedPath(files.output) +
                   " appeared while this run rendered; it is kept and this render is dropped";
    }
    return std::nullopt;
}

int exitStatusOf(const JobEnd& end) {
    if (end.state == JobState::Cancelled) return kExitCancelled;
    if (end.problem == JobProblem::NotAMovie || end.problem == JobProblem::BadInput) return kExitBadInput;
    return end.state == JobState::Failed ? kExitRenderFailed : kExitSuccess;
}

}  // namespace

int reportJobEnd(const JobEnd& end, const PlannedJob& files, JobOutput& out) {
    if (const std::optional<std::string> line = problemLine(end, files)) out.line(*line);
    std::string ending;
    if (end.state == JobState::Done) ending = "wrote " + printableText(files.output.string());
    if (end.state == JobState::Skipped) ending = "kept the existing " + printableText(files.output.string());
    out.finished(end.state, ending);
    return exitStatusOf(end);
}

void printLine(std::ostream& stream, std::string_view text) {
    const std::lock_guard lock(streamLock());
    stream << text << std::endl;
}

HumanJobOutput::HumanJobOutput(std::string name, bool sideBySide)
    : name_(printableText(name)),
      sideBySide_(sideBySide),
      rewriteInPlace_(!sideBySide && ::isatty(STDERR_FILENO) == 1) {}

std::string HumanJobOutput::prefixed(std::string_view text) const {
    return sideBySide_ ? name_ + ": " + std::string(text) : std::string(text);
}

void HumanJobOutput::progress(const RenderProgress& report) {
    // The window's label, whole.
    const std::string label = progressLabel(report);
    if (!rewriteInPlace_) return printLine(std::cerr, prefixed(label));
    const std::lock_guard lock(streamLock());
    std::cerr << "\r" << label << "\033[K" << std::flush;
}

void HumanJobOutput::progressEnded() {
    if (rewriteInPlace_) printLine(std::cerr, "");
}

void HumanJobOutput::line(const std::string& text) {
    printLine(std::cerr, prefixed(text));
}

void HumanJobOutput::logged(std::string_view text) {
    printLine(std::cout, prefixed(text));
}

void HumanJobOutput::finished(JobState state, const std::string& message) {
    if (name_.empty()) return;
    printLine(std::cerr,
              name_ + ": " + std::string(jobStateName(state)) + (message.empty() ? "" : ", " + message));
}

}  // namespace tintreel
