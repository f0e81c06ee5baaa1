#pragma once
// The colour table on the command line: the check a run makes of the look's
// table before anything is rendered, and the --export-lut mode that writes
// the look's per-pixel steps as a .cube file.
//
// Runs on the main thread of the command line process.

#include "cli/CliOptions.h"
#include "platform/system/Result.h"

namespace tintreel {

// Reads the look's colour table when its step is on, so that a missing or
// damaged table stops the run before it starts; the error names the file
// and gives the reader's message.
Status checkColorTableOf(const Look& look);

// --export-lut: writes options.exportLut whole (or not at all). Returns
// kExitSuccess, kExitBadInput after one line on standard error for a look,
// a table or an OUT that cannot be used, or kExitRenderFailed when OUT
// cannot be written.
int runExportLut(const CliOptions& options);

}  // namespace tintreel
