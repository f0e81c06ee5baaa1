#include "platform/media/MovieTypes.h"

#include <algorithm>
#include <cctype>

namespace tintreel {
namespace {

std::string lowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

template <typename Extensions>
bool listed(const Extensions& extensions, const std::string& extension) {
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

}  // namespace

bool hasMovieExtension(const std::filesystem::path& path) {
    return listed(kMovieExtensions, lowerExtension(path));
}

std::string renderedExtensionFor(const std::filesystem::path& input) {
    if (!listed(kRenderedMovieExtensions, lowerExtension(input))) return "mp4";
    return input.extension().string().substr(1);
}

}  // namespace tintreel
