#include "cli/OutputTarget.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/media/MovieTypes.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace fs = std::filesystem;

std::vector<fs::path> filesRead(const CliOptions& options) {
    std::vector<fs::path> files{options.input};
    files.insert(files.end(), options.parts.begin(), options.parts.end());
    if (options.audioFrom) files.push_back(*options.audioFrom);
    if (options.settingsFile) files.push_back(*options.settingsFile);
    if (options.logo) files.push_back(*options.logo);
    return files;
}

std::string existsMessage(const fs::path& output) {
    return "OUTPUT " + quotedPath(output) + " exists: use -y (--overwrite) to replace it";
}

std::optional<std::string> outputProblem(const CliOptions& options) {
    if (auto conflict = readConflict(options.output, filesRead(options))) return conflict;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(options.output, ec);
    if (fs::is_directory(status)) return "OUTPUT " + quotedPath(options.output) + " is a folder";
    if (fs::exists(status) && !options.overwrite) return existsMessage(options.output);
    if (!options.still)
        if (const auto problem = renderProblem(options.output, options.render))
            return "cannot write " + quotedPath(options.output) + ": " + *problem;
    if (options.still && !stillFormatOf(options.output))
        return "--still writes a PNG or a JPEG: OUTPUT must end in .png, .jpg or .jpeg";
    return folderProblem(options.output);
}

}  // namespace tintreel
