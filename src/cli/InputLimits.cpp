#include "cli/InputLimits.h"

#include <system_error>

#include "platform/filters/PictureSize.h"
#include "platform/system/InputFile.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

// A file that is not there passes: its reader says so in its own words.
Status checkExisting(const fs::path& file, std::uintmax_t maxBytes) {
    std::error_code ec;
    if (!fs::exists(file, ec)) return {};
    return checkInputFile(file, maxBytes);
}

std::optional<std::string> fileProblem(const fs::path& file, const std::string& what,
                                       std::uintmax_t maxBytes) {
    const Status checked = checkExisting(file, maxBytes);
    if (checked) return std::nullopt;
    return "cannot read " + what + " " + quotedPath(file) + ": " + checked.error();
}

}  // namespace

std::optional<std::string> readFilesProblem(const CliOptions& options) {
    if (options.settingsFile)
        if (auto problem = fileProblem(*options.settingsFile, "the settings file", kMaxSettingsFileBytes))
            return problem;
    if (options.list) return fileProblem(*options.list, "the list", kMaxListFileBytes);
    return std::nullopt;
}

std::optional<std::string> pictureProblem(const fs::path& picture, const std::string& what) {
    if (auto problem = fileProblem(picture, what, kAnySize)) return problem;
    const Status size = checkPictureSize(picture);
    if (size) return std::nullopt;
    return "cannot read " + what + " " + quotedPath(picture) + ": " + size.error();
}

std::optional<std::string> movieFileProblem(const fs::path& movie) {
    const Status checked = checkExisting(movie, kAnySize);
    if (checked) return std::nullopt;
    return checked.error();
}

std::optional<std::string> frameSizeProblem(int width, int height) {
    if (width <= kMaxMovieSide && height <= kMaxMovieSide) return std::nullopt;
    return "its frame is " + std::to_string(width) + "x" + std::to_string(height) + ", larger than the " +
           std::to_string(kMaxMovieSide) + " pixels a side tintreel-render takes";
}

}  // namespace tintreel
