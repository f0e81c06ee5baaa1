#include "platform/media/MovieTypes.h"

#include <algorithm>
#include <cctype>

#include "platform/media/MuxerRules.h"

namespace tintreel {
namespace {

template <typename Extensions>
bool listed(const Extensions& extensions, std::string_view extension) {
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

// The muxer FFmpeg picks for a file named with `extension`, or null.
const AVOutputFormat* muxerFor(std::string_view extension) {
    return av_guess_format(nullptr, ("x." + lower(extension)).c_str(), nullptr);
}

AVCodecID codecId(VideoCodec codec) {
    switch (codec) {
        case VideoCodec::H264:
            return AV_CODEC_ID_H264;
        case VideoCodec::H265:
            return AV_CODEC_ID_HEVC;
        case VideoCodec::AV1:
            return AV_CODEC_ID_AV1;
        case VideoCodec::VP9:
            return AV_CODEC_ID_VP9;
    }
    return AV_CODEC_ID_NONE;
}

bool holds(std::string_view extension, AVCodecID codec) {
    const AVOutputFormat* muxer = isRenderedExtension(extension) ? muxerFor(extension) : nullptr;
    return muxer && media::muxerAccepts(*muxer, codec);
}

bool named(const AVOutputFormat& muxer, std::string_view name) {
    return muxer.name == name;
}

}  // namespace

namespace media {

bool isMpeg4Family(const AVOutputFormat& muxer) {
    for (std::string_view name : {"mp4", "mov", "ipod", "3gp", "3g2"})
        if (named(muxer, name)) return true;
    return false;
}

bool muxerAccepts(const AVOutputFormat& muxer, AVCodecID codec) {
    if (avformat_query_codec(&muxer, codec, FF_COMPLIANCE_NORMAL) != 1) return false;
    // Listed, but written only as experimental files.
    if (isMpeg4Family(muxer) && (codec == AV_CODEC_ID_FLAC || codec == AV_CODEC_ID_TRUEHD)) return false;
    // Listed for the family, but refused by the QuickTime flavour: MP4 only.
    const bool mp4Only = codec == AV_CODEC_ID_AV1 || codec == AV_CODEC_ID_VP9 || codec == AV_CODEC_ID_OPUS;
    return !(named(muxer, "mov") && mp4Only);
}

}  // namespace media

std::string lowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    return lower(extension);
}

bool hasMovieExtension(const std::filesystem::path& path) {
    return listed(kMovieExtensions, lowerExtension(path));
}

std::string intermediateExtensionFor(const std::filesystem::path& input) {
    if (!listed(kMpeg4FamilyExtensions, lowerExtension(input))) return "mp4";
    return input.extension().string().substr(1);
}

bool isRenderedExtension(std::string_view extension) {
    return listed(kRenderedMovieExtensions, lower(extension));
}

bool isAnimationExtension(std::string_view extension) {
    return listed(kAnimationExtensions, lower(extension));
}

namespace {
// An animated picture has no codec, quality or bit rate to choose.
Status checkAnimation(const std::string& extension, const RenderSettings& settings) {
    const std::string picture = "an animated ." + extension + " picture";
    if (settings.maxBytes > 0) return Error{picture + " has no bit rate to fit a file size"};
    if (settings.codec) return Error{picture + " has no video codec to choose"};
    if (settings.quality != Quality{}) return Error{picture + " has no quality to choose"};
    if (settings.maxHeight > 0) return Error{picture + " is limited by its width, not its height"};
    return {};
}
}  // namespace

bool containerHolds(std::string_view extension, VideoCodec codec) {
    return holds(extension, codecId(codec));
}

VideoCodec videoCodecFor(std::string_view extension, std::optional<VideoCodec> asked) {
    if (asked) return *asked;
    return lower(extension) == "webm" ? VideoCodec::VP9 : VideoCodec::H264;
}

Status checkRenderable(const std::filesystem::path& output, const RenderSettings& settings) {
    const std::string extension = lowerExtension(output);
    if (isAnimationExtension(extension)) return checkAnimation(extension, settings);
    if (!isRenderedExtension(extension)) {
        std::string names;
        for (std::string_view rendered : kRenderedMovieExtensions) names += " ." + std::string(rendered);
        for (std::string_view animated : kAnimationExtensions) names += " ." + std::string(animated);
        return Error{"movies are written as" + names + ", not as \"" + output.extension().string() + "\""};
    }
    const VideoCodec codec = videoCodecFor(extension, settings.codec);
    if (!containerHolds(extension, codec))
        return Error{"a ." + extension + " movie cannot hold " + std::string(codecLabel(codec)) + " video"};
    return checkQuality(codec, settings.quality);
}

std::string renderedExtensionFor(const std::filesystem::path& input, std::optional<VideoCodec> asked) {
    const std::string extension = lowerExtension(input);
    if (!isRenderedExtension(extension) || !containerHolds(extension, videoCodecFor(extension, asked)))
        return "mp4";
    return input.extension().string().substr(1);
}

std::vector<std::string> extensionsHolding(std::string_view codecName) {
    const AVCodecDescriptor* codec = avcodec_descriptor_get_by_name(std::string(codecName).c_str());
    std::vector<std::string> extensions;
    for (std::string_view extension : kRenderedMovieExtensions)
        if (codec && holds(extension, codec->id)) extensions.emplace_back(extension);
    return extensions;
}

bool sameContainer(const std::filesystem::path& a, const std::filesystem::path& b) {
    const AVOutputFormat* muxer = muxerFor(lowerExtension(a));
    return muxer && muxer == muxerFor(lowerExtension(b));
}

}  // namespace tintreel
