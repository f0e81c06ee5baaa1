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

ExistingOutput existingOutputRule(const CliOptions& options) {
    if (options.skipExisting) return ExistingOutput::Skip;
    return options.overwrite ? ExistingOutput::Replace : ExistingOutput::Fail;
}

std::string existsMessage(const fs::path& output) {
    return "OUTPUT " + quotedPath(output) + " exists: use -y (--overwrite) to replace it";
}

Status checkOutput(const CliOptions& options) {
    if (Status notRead = checkNotRead(options.output, filesRead(options)); !notRead) return notRead;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(options.output, ec);
    if (fs::is_directory(status)) return Error{"OUTPUT " + quotedPath(options.output) + " is a folder"};
    if (fs::exists(status) && !options.overwrite) return Error{existsMessage(options.output)};
    if (!options.still)
        if (const Status renderable = checkRenderable(options.output, options.render); !renderable)
            return Error{"cannot write " + quotedPath(options.output) + ": " + renderable.error()};
    if (options.still && !stillFormatOf(options.output))
        return Error{"--still writes a PNG or a JPEG: OUTPUT must end in .png, .jpg or .jpeg"};
    return checkOutputFolder(options.output);
}

}  // namespace tintreel
