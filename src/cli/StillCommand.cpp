#include "cli/StillCommand.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

#include "imaging/ImageTools.h"
#include "platform/filters/Picture.h"

namespace tintreel {

namespace {

std::optional<Image> loadOrReport(const std::filesystem::path& path, const char* what) {
    std::string error;
    std::optional<Image> image = loadPicture(path.string(), &error);
    if (!image)
        std::cerr << "tintreel-render: cannot read " << what << " " << path << ": " << error << std::endl;
    return image;
}

// The format OUTPUT's name asks for (the options allow only these names).
bool saveByName(const Image& image, const std::filesystem::path& output, const std::filesystem::path& partial,
                std::string* error) {
    return stillFormatOf(output) == StillFormat::Jpeg ? saveJpeg(image, partial.string(), error)
                                                      : savePng(image, partial.string(), error);
}

// Writes beside the target and renames into place, so that a failed write
// never leaves a truncated file under the requested name.
bool writePicture(const Image& image, const std::filesystem::path& output) {
    std::filesystem::path partial = output;
    partial += ".partial";
    std::string error;
    std::error_code ec;
    if (saveByName(image, output, partial, &error)) {
        std::filesystem::rename(partial, output, ec);
        if (!ec) return true;
        error = ec.message();
    }
    std::filesystem::remove(partial, ec);
    std::cerr << "tintreel-render: cannot write " << output << ": " << error << std::endl;
    return false;
}

}  // namespace

int runStillPicture(const CliOptions& options, const EffectSettings& settings) {
    const std::optional<Image> picture = loadOrReport(options.input, "picture");
    if (!picture) return kExitBadInput;
    return writeStill(options, settings, *picture, 0.0);
}

int writeStill(const CliOptions& options, const EffectSettings& settings, const Image& picture,
               double seconds) {
    Image logo;
    if (options.logo) {
        std::optional<Image> loaded = loadOrReport(*options.logo, "logo");
        if (!loaded) return kExitBadInput;
        logo = std::move(*loaded);
    }
    const Image result = ApplyEffectChain(settings, picture, logo, seconds);
    return writePicture(result, options.output) ? kExitSuccess : kExitRenderFailed;
}

}  // namespace tintreel
