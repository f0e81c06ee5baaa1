#include "cli/InputLimits.h"

#include <system_error>

#include "platform/filters/PictureSize.h"
#include "platform/system/InputFile.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

Status checkFile(const fs::path& file, const std::string& what, std::uintmax_t maxBytes) {
    const Status checked = checkInputFileIfPresent(file, maxBytes);
    if (checked) return {};
    return Error{"cannot read " + what + " " + quotedPath(file) + ": " + checked.error()};
}

}  // namespace

Status checkReadFiles(const CliOptions& options) {
    if (options.settingsFile)
        if (Status file = checkFile(*options.settingsFile, "the settings file", kMaxSettingsFileBytes); !file)
            return file;
    if (options.list) return checkFile(*options.list, "the list", kMaxListFileBytes);
    return {};
}

Status checkPicture(const fs::path& picture, const std::string& what) {
    if (Status file = checkFile(picture, what, kAnySize); !file) return file;
    const Status size = checkPictureSize(picture);
    if (size) return {};
    return Error{"cannot read " + what + " " + quotedPath(picture) + ": " + size.error()};
}

Status checkMovieFile(const fs::path& movie) {
    return checkInputFileIfPresent(movie, kAnySize);
}

}  // namespace tintreel
