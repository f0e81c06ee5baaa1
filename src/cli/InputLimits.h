#pragma once
// What tintreel-render refuses to read, checked before a file is opened: a
// file that is not a regular file (a pipe would block the run, a device
// never ends), a settings file above 1 MiB or a list above 16 MiB (read
// whole) and a picture above the engine's size (PictureSize.h); a movie's
// frame size is the render job's own check (RenderJob.h). Each failure is one
// line for the person running the command.
//
// Pure functions of the files named; any thread.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "cli/CliOptions.h"
#include "platform/system/Result.h"

namespace tintreel {

inline constexpr std::uintmax_t kMaxSettingsFileBytes = std::uintmax_t{1} << 20;
inline constexpr std::uintmax_t kMaxListFileBytes = std::uintmax_t{16} << 20;

// The settings file and the list of `options`, when given.
Status checkReadFiles(const CliOptions& options);

// A picture read whole: the still INPUT or the image watermark's (`what`
// says which in the line).
Status checkPicture(const std::filesystem::path& picture, const std::string& what);

// A movie file before it is opened: only a regular file.
Status checkMovieFile(const std::filesystem::path& movie);

}  // namespace tintreel
