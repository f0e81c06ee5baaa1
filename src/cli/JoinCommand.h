#pragma once
// The join mode of tintreel-render: the slices that --segment runs wrote,
// put back together into one movie with the source's audio, without
// encoding the video again. Slices of a --from/--to span get the sound cut
// to the span they record.
//
// Runs on the main thread of the command line process.

#include "cli/CliOptions.h"

namespace tintreel {

// Joins options.parts (in any order) with the audio of options.audioFrom into
// options.output, written beside it and renamed into place. Returns
// kExitSuccess; kExitBadInput after a one-line error when the source is no
// readable movie or the parts are not every slice of one split (a part
// missing or unreadable, given twice, of another split, cut from another
// movie or to another span, rendered with another look, encoded differently), or when the
// source is not the movie they were cut from; kExitRenderFailed when writing fails, with nothing left at
// OUTPUT.
int runJoin(const CliOptions& options);

}  // namespace tintreel
