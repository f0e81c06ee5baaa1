#pragma once
// What one render tells the person or the program watching it: progress,
// its own lines (a refused INPUT, a failed render), the engine's log lines,
// and how it ended. The single render and every job of a batch speak through
// this one interface, which follows the job as its watcher (RenderJob.h);
// the human form is today's output of tintreel-render, the JSON form is in
// JsonProgress.h.
//
// Threads: each job's output is used by that job's thread only; the lines of
// all outputs reach the terminal whole, one at a time (one lock for the
// process's standard streams).

#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>

#include "render/BatchJobs.h"
#include "render/RenderJob.h"
#include "settings/ProgressText.h"

namespace tintreel {

class JobOutput : public JobWatcher {
public:
    // A line of this render for the person: why it was refused or failed.
    virtual void line(const std::string& text) = 0;
    // How the job ended, with a few words on it (the human form of a single
    // render says nothing more: its lines have said it).
    virtual void finished(JobState state, const std::string& message) = 0;
};

// Says how a job ended on `out`: the line of its problem, if any (the
// program's own words, "Could not generate preview." for a failed render),
// then finished. The exit status of a single render that ended so:
// kExitBadInput for an input that cannot be rendered, kExitCancelled,
// kExitRenderFailed for any other failure.
int reportJobEnd(const JobEnd& end, const PlannedJob& files, JobOutput& out);

// Writes `text` and a line break to `stream` whole and flushed, under the
// process's one lock for its standard streams.
void printLine(std::ostream& stream, std::string_view text);

// The human form. For the single render (no name) it is today's output: the
// progress label on standard error (rewritten in place on a terminal),
// lines on standard error, the log left on standard output as it is. A job
// of a batch has its input's name: it says how it ended in one line starting
// with that name, and when jobs run side by side every line starts with it,
// progress comes as whole lines and the log lines (standard output) too.
class HumanJobOutput : public JobOutput {
public:
    HumanJobOutput() : HumanJobOutput({}, false) {}
    HumanJobOutput(std::string name, bool sideBySide);
    void progress(const RenderProgress& report) override;
    void progressEnded() override;
    void line(const std::string& text) override;
    void logged(std::string_view text) override;
    void finished(JobState state, const std::string& message) override;

private:
    std::string prefixed(std::string_view text) const;

    std::string name_;
    bool sideBySide_;
    bool rewriteInPlace_;  // a terminal, with nothing beside this render
};

}  // namespace tintreel
