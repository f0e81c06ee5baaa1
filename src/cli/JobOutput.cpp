#include "cli/JobOutput.h"

#include <unistd.h>
#include <iostream>
#include <mutex>

#include "platform/system/Log.h"
#include "settings/ProgressText.h"

namespace tintreel {
namespace {

std::mutex& streamLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

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

void HumanJobOutput::progress(const Notification& notification) {
    // The window's label; an unknown code prints nothing.
    const std::optional<std::string> label = progressLabel(notification);
    if (!label) return;
    if (!rewriteInPlace_) return printLine(std::cerr, prefixed(*label));
    const std::lock_guard lock(streamLock());
    std::cerr << "\r" << *label << "\033[K" << std::flush;
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
