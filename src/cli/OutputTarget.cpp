#include "cli/OutputTarget.h"

#include <unistd.h>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/media/MovieTypes.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& path) {
    std::ostringstream text;
    text << path;
    return text.str();
}

// True when both paths name one existing file (links, "../", hard links).
bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec) && !ec;
}

}  // namespace

std::vector<fs::path> filesRead(const CliOptions& options) {
    std::vector<fs::path> files{options.input};
    files.insert(files.end(), options.parts.begin(), options.parts.end());
    if (options.audioFrom) files.push_back(*options.audioFrom);
    if (options.settingsFile) files.push_back(*options.settingsFile);
    if (options.logo) files.push_back(*options.logo);
    return files;
}

std::optional<std::string> folderProblem(const fs::path& output) {
    const fs::path folder = output.has_parent_path() ? output.parent_path() : fs::path(".");
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return "cannot write " + quoted(output) + ": no folder " + quoted(folder);
    // The render writes a partial file beside OUTPUT and renames it: it needs
    // to create and remove entries in the folder.
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot write " + quoted(output) + ": the folder " + quoted(folder) + " is not writable";
    return std::nullopt;
}

std::optional<std::string> readConflict(const fs::path& output, const std::vector<fs::path>& read) {
    for (const fs::path& file : read)
        if (sameFile(output, file)) return "OUTPUT " + quoted(output) + " is the file " + quoted(file) + " this run reads";
    return std::nullopt;
}

std::string existsMessage(const fs::path& output) {
    return "OUTPUT " + quoted(output) + " exists: use -y (--overwrite) to replace it";
}

std::optional<std::string> outputProblem(const CliOptions& options) {
    if (auto conflict = readConflict(options.output, filesRead(options))) return conflict;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(options.output, ec);
    if (fs::is_directory(status)) return "OUTPUT " + quoted(options.output) + " is a folder";
    if (fs::exists(status) && !options.overwrite) return existsMessage(options.output);
    if (!options.still)
        if (const auto problem = renderProblem(options.output, options.render))
            return "cannot write " + quoted(options.output) + ": " + *problem;
    return folderProblem(options.output);
}

}  // namespace tintreel
