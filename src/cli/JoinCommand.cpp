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

// Each slice a regular file, read to its end: a cut slice is named as such
// before the slices are compared.
Status checkPart(const fs::path& part) {
    if (const Status file = checkMovieFile(part); !file) return Error{quotedPath(part) + ": " + file.error()};
    const Status whole = checkMovieComplete(part);
    if (!whole) return Error{quotedPath(part) + " is truncated or damaged: " + whole.error()};
    return {};
}

// The slices' video goes into OUTPUT unchanged: its container must hold that codec.
Status checkContainer(const fs::path& slice, const fs::path& output) {
    const Result<std::string> codec = videoCodecName(slice);
    if (!codec) return {};  // the join itself says why it cannot read the slice
    const std::vector<std::string> holding = extensionsHolding(*codec);
    if (std::find(holding.begin(), holding.end(), lowerExtension(output)) != holding.end()) return {};
    std::string names;
    for (const std::string& extension : holding) names += " ." + extension;
    return Error{"the slices are " + *codec + ", which " + quotedPath(output) +
                 "'s container cannot hold (it goes in" + names + ")"};
}

// The --audio-from movie must be the one the slices were cut from. Slices of
// an older build record none; they are joined as before, with a line saying
// what could not be checked.
Status checkAudioSource(const fs::path& firstSlice, const fs::path& movie) {
    const Result<SourceCheck> checked = checkCutFrom(firstSlice, movie);
    if (!checked) return Error{checked.error()};
    if (*checked == SourceCheck::NotRecorded)
        std::cerr << "tintreel-render: the slices were written by an older tintreel-render and record no "
                     "source or look; joined without checking that they come from "
                  << quotedPath(movie) << " and one look" << std::endl;
    return {};
}

}  // namespace

int runJoin(const CliOptions& options) {
    const CancelOnSignals cancelOnSignals;
    if (int status = checkMovieInput(*options.audioFrom); status != kExitSuccess) return status;
    for (const fs::path& part : options.parts)
        if (const Status whole = checkPart(part); !whole)
            return fail(kExitBadInput, "cannot join: " + whole.error());
    const Result<std::vector<fs::path>> ordered = orderSlices(options.parts);
    if (!ordered) return fail(kExitBadInput, "cannot join: " + ordered.error());
    if (const Status source = checkAudioSource(ordered->front(), *options.audioFrom); !source)
        return fail(kExitBadInput, "cannot join: " + source.error());
    if (const Status held = checkContainer(ordered->front(), options.output); !held)
        return fail(kExitBadInput, "cannot join: " + held.error());
    return writeJoined(*ordered, options, cancelOnSignals.flag());
}

}  // namespace tintreel
