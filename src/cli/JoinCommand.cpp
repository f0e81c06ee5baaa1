#include "cli/JoinCommand.h"

#include <iostream>
#include <system_error>

#include "cli/MovieCommand.h"
#include "platform/media/MovieJoin.h"
#include "platform/system/AtomicFile.h"
#include "render/VideoTools.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

int fail(int status, const std::string& why) {
    std::cerr << "tintreel-render: " << why << std::endl;
    return status;
}

// Writes the joined movie beside OUTPUT and moves it into place, so OUTPUT
// is either complete or untouched.
int writeJoined(const std::vector<fs::path>& ordered, const CliOptions& options) {
    const fs::path partial = partialNameBeside(options.output, pathExtension(options.output));
    Status done = joinSlices(ordered, *options.audioFrom, partial);
    if (done) done = moveFileAtomically(partial, options.output);
    if (done) return kExitSuccess;
    std::error_code ignored;
    fs::remove(partial, ignored);
    return fail(kExitRenderFailed, "cannot join into " + options.output.string() + ": " + done.error());
}

}  // namespace

int runJoin(const CliOptions& options) {
    if (int status = checkMovieInput(*options.audioFrom); status != kExitSuccess) return status;
    const Result<std::vector<fs::path>> ordered = orderSlices(options.parts);
    if (!ordered) return fail(kExitBadInput, "cannot join: " + ordered.error());
    return writeJoined(*ordered, options);
}

}  // namespace tintreel
