#include "cli/StillCommand.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

#include "imaging/FrameGeometry.h"
#include "imaging/ImageTools.h"
#include "platform/filters/Picture.h"

namespace tintreel {

namespace {

std::optional<Image> loadOrReport(const std::filesystem::path& path, const char* what) {
    Result<Image> image = loadPicture(path.string());
    if (image) return std::move(*image);
    std::cerr << "tintreel-render: cannot read " << what << " " << path << ": " << image.error() << std::endl;
    return std::nullopt;
}

// The format OUTPUT's name asks for (the options allow only these names).
Status saveByName(const Image& image, const std::filesystem::path& output, const std::filesystem::path& partial) {
    return stillFormatOf(output) == StillFormat::Jpeg ? saveJpeg(image, partial.string())
                                                      : savePng(image, partial.string());
}

// Writes beside the target and renames into place, so that a failed write
// never leaves a truncated file under the requested name.
bool writePicture(const Image& image, const std::filesystem::path& output) {
    std::filesystem::path partial = output;
    partial += ".partial";
    std::error_code ec;
    const Status saved = saveByName(image, output, partial);
    std::string error = saved ? std::string() : saved.error();
    if (saved) {
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
    const FrameGeometry geometry(renderGeometry(settings, options.crop, options.render));
    if (const auto problem = geometry.cropProblem({picture.width(), picture.height()})) {
        std::cerr << "tintreel-render: cannot use " << options.input << ": " << *problem << std::endl;
        return kExitBadInput;
    }
    const Image result = ApplyEffectChain(settings, geometry.apply(picture), logo, seconds);
    return writePicture(result, options.output) ? kExitSuccess : kExitRenderFailed;
}

}  // namespace tintreel
