#pragma once
// The checks on OUTPUT that run before anything is read or rendered, so that
// no run replaces a file by surprise or renders a whole movie only to find it
// cannot be written: OUTPUT must not be any file the run reads (INPUT, the
// settings file, the logo, the slices of a join and their source, also
// through a link or another path), must not exist unless --overwrite is
// given, must be a movie the render can write with the asked codec and
// quality (the container its name says), and must lie in an existing folder
// this process may write into.
//
// Called on the main thread of the command line process; reads only file
// metadata.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "render/BatchJobs.h"
#include "render/RenderJob.h"

namespace tintreel {

// Fails, saying why in one line without the program's prefix, when OUTPUT
// cannot be used.
Status checkOutput(const CliOptions& options);

// The parts of that check, for a batch that applies them to every job.
// The files a run reads: its INPUT, the settings file and the logo.
std::vector<std::filesystem::path> filesRead(const CliOptions& options);
// What a job does with an output that is there: --skip-existing keeps it,
// else -y (--overwrite) replaces it, else the job fails.
ExistingOutput existingOutputRule(const CliOptions& options);
// "OUTPUT \"out.mp4\" exists: use -y (--overwrite) to replace it"
std::string existsMessage(const std::filesystem::path& output);

}  // namespace tintreel
