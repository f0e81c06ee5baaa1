#pragma once
// The checks on OUTPUT that run before anything is read or rendered, so that
// no run replaces a file by surprise or renders a whole movie only to find it
// cannot be written: OUTPUT must not be any file the run reads (INPUT, the
// settings file, the logo, also through a link or another path), must not
// exist unless --overwrite is given, must be a movie the render can write
// with the asked codec and quality (the container its name says), and must
// lie in an existing folder this process may write into.
//
// Called on the main thread of the command line process; reads only file
// metadata.

#include <optional>
#include <string>

#include "cli/CliOptions.h"

namespace tintreel {

// Why OUTPUT cannot be used (one line, without the program's prefix), or
// nothing when it can.
std::optional<std::string> outputProblem(const CliOptions& options);

}  // namespace tintreel
