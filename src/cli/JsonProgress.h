#pragma once
// `--progress json`: standard error carries only JSON, one object per line,
// for scripts and programs that drive tintreel-render. Every object of a job
// has the same keys:
//
//   {"input": "in/a.mov", "output": "out/a.mov", "percent": 42.5, "fps": 31.0,
//    "eta_s": 45.0, "state": "running", "message": "Rendering: Sepia... 42.5%"}
//
// "state" is running, done, skipped, failed or cancelled; "percent" covers the
// whole render (every pass); "fps" and "eta_s" are null until measured (and
// after the end); "message" holds the line a person would have read (the
// progress label, a refusal, an engine log line, how the job ended). A batch
// ends with {"summary": {"done": …, "skipped": …, "failed": …, "cancelled": …,
// "failed_inputs": […]}, "message": the human summary line}; a refusal
// before any job starts is one object with null input and output.
//
// Threads: as JobOutput.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/JobOutput.h"

namespace tintreel {

class JsonJobOutput : public JobOutput {
public:
    JsonJobOutput(std::filesystem::path input, std::filesystem::path output);
    void progress(const RenderProgress& report) override;
    void line(const std::string& text) override;
    void logged(std::string_view text) override;
    void finished(JobState state, const std::string& message) override;

private:
    void emit(JobState state, const std::string& message) const;

    std::filesystem::path input_;
    std::filesystem::path output_;
    std::optional<double> percent_;
    std::optional<double> fps_;
    std::optional<double> secondsLeft_;
    std::string lastLine_;  // why a failed job failed
};

// One JSON line for a failure that belongs to no job (bad arguments).
void printJsonRefusal(const std::string& message);
// One JSON line, state "running", for a fact about the whole run said before
// any job starts (null input and output).
void printJsonNote(const std::string& message);

void printJsonSummary(const BatchCounts& counts, const std::string& message);

}  // namespace tintreel
