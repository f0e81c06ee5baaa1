#pragma once
// The check every reader of a whole file makes before it opens the file: it
// must be a regular file (a pipe or a device can block the open or the read
// for ever, or never end) of at most a given size (reading it whole must not
// exhaust memory). Links are followed; only the file's metadata is read.
//
// Pure functions of the file system; any thread.

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/system/Result.h"

namespace tintreel {

inline constexpr std::uintmax_t kAnySize = UINTMAX_MAX;

// Fails, saying why in words ("it is a pipe, not a regular file", "it is
// 3.2 MiB, more than the 1 MiB allowed", "No such file or directory"),
// unless `path` names a regular file of at most `maxBytes`.
Status checkInputFile(const std::filesystem::path& path, std::uintmax_t maxBytes = kAnySize);

// As checkInputFile, but a path with nothing at it passes: whoever opens it
// then names that in its own words.
Status checkInputFileIfPresent(const std::filesystem::path& path, std::uintmax_t maxBytes = kAnySize);

// A size in words for the person reading a limit: "512 bytes", "1 MiB", "16.5 MiB".
std::string byteSizeText(std::uintmax_t bytes);

}  // namespace tintreel
