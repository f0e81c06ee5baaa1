#pragma once
// Which files a run renders and where each result goes, fixed before the
// first job starts, so that no output of a run becomes one of its inputs.
//
// Inputs: the INPUT arguments, files or folders (render/BatchJobs.h), with
// --recursive descending into subfolders. Or the lines of a --list file, one path per line (relative to the
// current folder), all of them or only line --index K.
//
// Outputs: -o names one file for a single input; otherwise, and for --list,
// it may name an existing folder, where each output keeps its input's name
// and, when that container can be written, its extension (else .mp4), in
// the subfolder mirroring the input's under a --recursive folder INPUT; or a
// template with the fields {name} (file name without extension), {ext} (its
// extension, no dot), {dir} (the input's folder) and {n} (its position in
// the list, from 1; the line number for --list).
//
// Refused before anything starts, with one line: two inputs writing one
// output, an output that is any file the run reads (every input, the
// settings file, the logo), an output that is a folder, an output folder
// that is missing or cannot be written, an unknown template field, no input
// at all. That an output exists is decided per job when it starts
// (--skip-existing, --overwrite).
//
// Runs on the main thread; reads only folder listings and file metadata.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "render/BatchJobs.h"

namespace tintreel {

struct BatchPlan {
    std::vector<PlannedJob> jobs;
    // One INPUT named as a file, or one line of a list: the run keeps the
    // rules and exit statuses of a single render.
    bool single = false;
};

// The inputs and their outputs, or why they cannot be had (a list that
// cannot be read, a bad template, no movie at all).
Result<BatchPlan> planRun(const CliOptions& options);

// Fails with the refusal of a run of many inputs (above); `options.logo`
// must already be the run's logo (--logo or the profile's).
Status checkBatch(const CliOptions& options, const BatchPlan& plan);

}  // namespace tintreel
