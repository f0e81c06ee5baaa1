#pragma once
// The still mode of tintreel-render for a picture INPUT: the picture run
// through the effect chain, written as a PNG or a JPEG as OUTPUT's name says.
//
// Runs on the main thread of the command line process; a QGuiApplication
// must exist (the text watermark draws with fonts).

#include "cli/CliOptions.h"
#include "imaging/EffectSettings.h"
#include "platform/filters/Image.h"

namespace tintreel {

// Loads the picture and the logo (when given), applies the chain with the
// settings and writes options.output. Returns kExitSuccess, kExitBadInput
// after a one-line error on standard error for an unreadable picture or
// logo, or kExitRenderFailed when the picture cannot be written.
int runStillPicture(const CliOptions& options, const EffectSettings& settings);

// The still of `picture` (a loaded picture, taken as a movie's first frame,
// or the frame of a movie at `seconds`): the logo of the options, the chain,
// and the picture at options.output; the same statuses.
int writeStill(const CliOptions& options, const EffectSettings& settings, const Image& picture,
               double seconds);

}  // namespace tintreel
