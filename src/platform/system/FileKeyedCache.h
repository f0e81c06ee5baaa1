#pragma once
// FileKeyedCache: small values worked out from a file at some cost (the
// loudness of a movie's sound), kept in a folder for as long as the file is
// unchanged. An entry is keyed by the file's absolute path, its size and its
// modification time, and by a `detail` naming what was worked out (a span,
// say); a file that changed, moved or vanished finds nothing.
//
// Entries are written atomically, so readers running beside a writer see a
// whole entry or none; a damaged or foreign entry is simply not found.
//
// Plain value over a folder; any thread.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system/Result.h"

namespace tintreel {

class FileKeyedCache {
public:
    explicit FileKeyedCache(std::filesystem::path folder) : folder_(std::move(folder)) {}

    std::optional<std::string> find(const std::filesystem::path& file, std::string_view detail) const;
    // Creates the folder when needed.
    Status store(const std::filesystem::path& file, std::string_view detail, std::string_view value) const;

private:
    std::filesystem::path folder_;
};

}  // namespace tintreel
