#include "platform/media/LibraryVersions.h"

#include <oneapi/tbb/version.h>

#include "platform/media/FfmpegHandles.h"

namespace tintreel {
namespace {

std::string dotted(unsigned version) {
    return std::to_string(AV_VERSION_MAJOR(version)) + "." + std::to_string(AV_VERSION_MINOR(version)) + "." +
           std::to_string(AV_VERSION_MICRO(version));
}

}  // namespace

std::vector<LibraryVersion> engineLibraryVersions() {
    return {
        {"FFmpeg", av_version_info()},
        {"libavformat", dotted(avformat_version())},
        {"libavcodec", dotted(avcodec_version())},
        {"libavutil", dotted(avutil_version())},
        {"libswscale", dotted(swscale_version())},
        {"libswresample", dotted(swresample_version())},
        {"oneTBB", TBB_runtime_version()},
    };
}

}  // namespace tintreel
