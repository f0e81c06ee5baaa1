#pragma once
// Whether a movie file is whole: every packet readable and marked whole by
// its demuxer, and the packets reaching the length the file announces. Reads
// the packets without decoding them, so it costs a pass over the file's
// bytes. The render's reader makes the same checks as it goes.
//
// Any thread; reads only the file named.

#include <filesystem>

#include "platform/system/Result.h"

namespace tintreel {

// Fails, saying what is missing or damaged ("it ends at 1.2 s of the 2.5 s
// its file announces"), when the movie is cut short or damaged. A file that
// cannot be opened at all passes: opening it for real then says why.
Status checkMovieComplete(const std::filesystem::path& movie);

}  // namespace tintreel
