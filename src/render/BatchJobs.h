#pragma once
// What a batch renders and where each result goes, shared by the command
// line and the batch window. The movies of a batch's inputs: a file, or a
// folder contributing the files directly in it whose extension is a movie's
// (MovieTypes.h), by name, hidden ones and partial files of a killed render
// left out; recursively, its subfolders too (not the output folder). Their
// outputs: a name in an output folder, in the subfolder mirroring the
// input's under a recursive folder input, or a name template with the fields
// {name} (file name without extension), {ext} (its extension, no dot), {dir}
// (the input's folder) and {n} (its position in the list, from 1).
//
// Refused before anything starts (BatchOutputChecks), with one line: two
// inputs writing one output, an output that is any file the run reads, an
// output that is a folder, an output folder that is missing or cannot be
// written, an output whose container cannot hold the asked codec.
//
// Pure functions over folder listings and file metadata; any thread.

#include <sys/types.h>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/media/RenderSettings.h"
#include "platform/system/Result.h"

namespace tintreel {

struct PlannedJob {
    std::filesystem::path input;
    std::filesystem::path output;
};

// One movie of a batch's inputs with what its output depends on.
struct BatchInput {
    std::filesystem::path file;
    int number = 0;                    // {n}
    std::filesystem::path mirrorRoot;  // the recursive folder input it was found under; empty otherwise
};

// The movies of `inputs` in order (a folder's by name); `outputFolder` (may
// be empty) is never descended into.
std::vector<BatchInput> moviesOfInputs(const std::vector<std::filesystem::path>& inputs, bool recursive,
                                       const std::filesystem::path& outputFolder);

// The template's fields filled in for `input` at position `n`, or why it
// cannot be (an unknown field, an unclosed brace).
Result<std::filesystem::path> expandOutputTemplate(const std::string& pattern,
                                                   const std::filesystem::path& input, int n);

// Where one input's result goes under an output folder: `namePattern`
// expanded (the input's own name when it is "{name}"), in the subfolder
// mirroring the input's, with its own container's extension when that can
// hold the asked codec, else MP4's.
Result<std::filesystem::path> outputInFolder(const std::filesystem::path& folder, const BatchInput& entry,
                                             const RenderSettings& render,
                                             const std::string& namePattern = "{name}");

// Fails when `output` is one of `read` (also through a link or another path).
Status checkNotRead(const std::filesystem::path& output, const std::vector<std::filesystem::path>& read);
// Fails when the folder `output` goes in is missing or not writable.
Status checkOutputFolder(const std::filesystem::path& output);

// Makes the folder a job's output goes in (a subfolder mirrored from a
// folder searched with its subfolders); fails with the line saying why it
// cannot be made.
Status makeOutputFolder(const std::filesystem::path& output);

// The checks of every job's output against the others and the files read.
class BatchOutputChecks {
public:
    // `readFiles`: what the run reads besides its inputs (a profile, a logo).
    // `outputFolder`: where the outputs go, or empty for a template.
    BatchOutputChecks(const std::vector<std::filesystem::path>& readFiles,
                      const std::vector<PlannedJob>& jobs, RenderSettings render,
                      std::filesystem::path outputFolder);

    // Fails, saying why, when `job` cannot be planned, given the jobs
    // checked before it.
    Status check(const PlannedJob& job);

    // The first failure of all jobs, in order.
    Status checkAll(const std::vector<PlannedJob>& jobs);

private:
    using FileId = std::pair<dev_t, ino_t>;

    RenderSettings render_;
    std::filesystem::path outputFolder_;
    std::map<FileId, std::filesystem::path> readFiles_;
    std::map<std::filesystem::path, std::filesystem::path> outputs_;
};

// How one job of a batch ended, or that it runs.
enum class JobState { Running, Done, Skipped, Failed, Cancelled };

std::string_view jobStateName(JobState state);  // "running", "done", ...

// How a batch ended, counted per state.
struct BatchCounts {
    int done = 0;
    int skipped = 0;
    int failed = 0;
    int cancelled = 0;
    std::vector<std::filesystem::path> failedInputs;

    void add(JobState state, const std::filesystem::path& input);
};

// "3 done, 1 skipped, 1 failed, 0 cancelled; failed: a.mov", the failed
// inputs sorted.
std::string batchSummary(BatchCounts counts);

}  // namespace tintreel
