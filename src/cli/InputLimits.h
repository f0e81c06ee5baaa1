#pragma once
// What tintreel-render refuses to read, checked before a file is opened: a
// file that is not a regular file (a pipe would block the run, a device
// never ends), a settings file above 1 MiB or a list above 16 MiB (read
// whole), a picture above the engine's size (PictureSize.h) and a movie whose
// frame is larger than 8192 pixels a side (each frame in flight is held as
// RGBA, several at once). Each problem is one line for the person running
// the command.
//
// Pure functions of the files named; any thread.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "cli/CliOptions.h"

namespace tintreel {

inline constexpr std::uintmax_t kMaxSettingsFileBytes = std::uintmax_t{1} << 20;
inline constexpr std::uintmax_t kMaxListFileBytes = std::uintmax_t{16} << 20;
inline constexpr int kMaxMovieSide = 8192;

// The settings file and the list of `options`, when given.
std::optional<std::string> readFilesProblem(const CliOptions& options);

// A picture read whole: the still INPUT or the image watermark's (`what`
// says which in the line).
std::optional<std::string> pictureProblem(const std::filesystem::path& picture, const std::string& what);

// A movie file before it is opened: only a regular file.
std::optional<std::string> movieFileProblem(const std::filesystem::path& movie);

// A movie's frame as stored, once probed.
std::optional<std::string> frameSizeProblem(int width, int height);

}  // namespace tintreel
