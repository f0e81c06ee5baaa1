#pragma once
// The movie modes of tintreel-render for a movie INPUT (any extension of
// MovieTypes.h that FFmpeg opens with a video track): the whole movie rendered through the render worker and
// copied to OUTPUT, or one frame of it run through the still chain as a PNG.
//
// Runs on the main thread of the command line process; a QGuiApplication must
// exist (the text watermark draws with fonts). runMovie installs
// SIGINT/SIGTERM handlers for its duration that cancel the render.

#include <string>

#include "cli/CliOptions.h"
#include "imaging/EffectSettings.h"
#include "platform/filters/Image.h"
#include "platform/system/Result.h"

namespace tintreel {

// kExitSuccess when `input` has a movie extension and is a readable movie
// with a video track; else kExitBadInput after a one-line error.
int checkMovieInput(const std::filesystem::path& input);

// Renders options.input (only the slice options.segment, when given) with
// the settings into options.output, as one job (RenderJob.h): through a
// partial file beside it, renamed into place, never over a file that
// appeared meanwhile unless -y was given. Progress goes to standard error as
// the window's label, or as JSON lines with --progress json. Returns
// kExitSuccess, kExitBadInput (one-line error) for an INPUT without a movie
// extension or that is not a readable movie with a video track, or an
// unreadable logo, kExitRenderFailed ("Could not generate preview.", or the
// line saying why OUTPUT could not be written) and kExitCancelled after
// SIGINT/SIGTERM, with nothing left at OUTPUT.
int runMovie(const CliOptions& options, const EffectSettings& settings);

// The picture at options.logo (an empty picture when there is none), or the
// line saying why it cannot be read.
Result<Image> readLogo(const CliOptions& options);

// Writes the still preview of the frame at options.stillSeconds (0 when not
// given) as a PNG at options.output. Same INPUT checks as runMovie.
int runStillFrame(const CliOptions& options, const EffectSettings& settings);

}  // namespace tintreel
