#include "cli/JoinCommand.h"

#include <algorithm>
#include <iostream>
#include <system_error>

#include "cli/CancelOnSignals.h"
#include "cli/InputLimits.h"
#include "cli/MovieCommand.h"
#include "platform/media/MovieIntegrity.h"
#include "platform/media/MovieJoin.h"
#include "platform/media/MovieTypes.h"
#include "platform/media/Remux.h"
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
    const fs::path partial = partialNameBeside(options.output, pathExtension(options.output));
    Status done = joinSlices(ordered, *options.audioFrom, partial, cancelled);
    const bool placed = done && !cancelled && (done = moveFileAtomically(partial, options.output));
    std::error_code ignored;
    fs::remove(partial, ignored);
    if (cancelled) {
        // A cancel that arrives after the move still leaves nothing at OUTPUT.
        if (placed) fs::remove(options.output, ignored);
        return kExitCancelled;
    }
    if (done) return kExitSuccess;
    return fail(kExitRenderFailed, "cannot join into " + options.output.string() + ": " + done.error());
}

// Each slice a regular file, read to its end: a cut slice is named as such
// before the slices are compared.
std::optional<std::string> partProblem(const fs::path& part) {
    if (const auto problem = movieFileProblem(part)) return quotedPath(part) + ": " + *problem;
    const Status whole = checkMovieComplete(part);
    if (!whole) return quotedPath(part) + " is truncated or damaged: " + whole.error();
    return std::nullopt;
}

// The slices' video goes into OUTPUT unchanged: its container must hold that codec.
std::optional<std::string> containerProblem(const fs::path& slice, const fs::path& output) {
    const Result<std::string> codec = videoCodecName(slice);
    if (!codec) return std::nullopt;  // the join itself says why it cannot read the slice
    const std::vector<std::string> holding = extensionsHolding(*codec);
    if (std::find(holding.begin(), holding.end(), lowerExtension(output)) != holding.end())
        return std::nullopt;
    std::string names;
    for (const std::string& extension : holding) names += " ." + extension;
    return "the slices are " + *codec + ", which " + quotedPath(output) +
           "'s container cannot hold (it goes in" + names + ")";
}

}  // namespace

int runJoin(const CliOptions& options) {
    const CancelOnSignals cancelOnSignals;
    if (int status = checkMovieInput(*options.audioFrom); status != kExitSuccess) return status;
    for (const fs::path& part : options.parts)
        if (const auto problem = partProblem(part)) return fail(kExitBadInput, "cannot join: " + *problem);
    const Result<std::vector<fs::path>> ordered = orderSlices(options.parts);
    if (!ordered) return fail(kExitBadInput, "cannot join: " + ordered.error());
    if (const auto problem = containerProblem(ordered->front(), options.output))
        return fail(kExitBadInput, "cannot join: " + *problem);
    return writeJoined(*ordered, options, cancelOnSignals.flag());
}

}  // namespace tintreel
