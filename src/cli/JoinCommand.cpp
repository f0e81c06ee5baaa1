#include "cli/JoinCommand.h"

#include <iostream>
#include <system_error>

#include "cli/CancelOnSignals.h"
#include "cli/MovieCommand.h"
#include "platform/media/MovieJoin.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/Log.h"
#include "render/VideoTools.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

int fail(int status, const std::string& why) {
    std::cerr << "tintreel-render: " << why << std::endl;
    return status;
}

// Writes the joined movie beside OUTPUT and moves it into place, so OUTPUT
// is either complete or untouched, also after a cancel.
int writeJoined(const std::vector<fs::path>& ordered, const CliOptions& options,
                const std::atomic<bool>& cancelled) {
    removeAbandonedPartials(options.output);
    const fs::path partial = partialNameBeside(options.output, pathExtension(options.output));
    Status done = joinSlices(ordered, *options.audioFrom, partial, cancelled);
    const IfTaken ifTaken = options.overwrite ? IfTaken::Replace : IfTaken::Keep;
    const bool placed = done && !cancelled && (done = moveFileAtomically(partial, options.output, ifTaken));
    std::error_code ignored;
    fs::remove(partial, ignored);
    if (cancelled) {
        // A cancel that arrives after the move still leaves nothing at OUTPUT.
        if (placed) fs::remove(options.output, ignored);
        return kExitCancelled;
    }
    if (done) return kExitSuccess;
    if (wasTaken(done))
        return fail(kExitRenderFailed,
                    "OUTPUT " + quotedPath(options.output) +
                        " appeared while this run joined; it is kept and this join is dropped");
    return fail(kExitRenderFailed, "cannot join into " + options.output.string() + ": " + done.error());
}

}  // namespace

int runJoin(const CliOptions& options) {
    const CancelOnSignals cancelOnSignals;
    if (int status = checkMovieInput(*options.audioFrom); status != kExitSuccess) return status;
    const Result<std::vector<fs::path>> ordered = orderSlices(options.parts);
    if (!ordered) return fail(kExitBadInput, "cannot join: " + ordered.error());
    return writeJoined(*ordered, options, cancelOnSignals.flag());
}

}  // namespace tintreel
