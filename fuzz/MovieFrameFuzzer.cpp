// Fuzzes opening a movie and taking a still from it: the fuzzer's bytes are
// written to a file with a movie extension, described by MediaAsset::open and,
// when it has a video track, pictured by FrameImageAtTime at its start and
// its middle, as the editor does when a file is dropped and browsed.
//
// The file lives in the temporary directory ($TMPDIR) under a name of this
// process and is removed at exit.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/media/FrameImage.h"
#include "platform/media/MediaAsset.h"

namespace tintreel {
namespace {

class ScratchMovie {
public:
    ScratchMovie()
        : path_(std::filesystem::temp_directory_path() /
                ("tintreel-fuzz-" + std::to_string(::getpid()) + ".mov")) {}
    ~ScratchMovie() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    const std::filesystem::path& write(const std::uint8_t* data, std::size_t size) {
        std::ofstream(path_, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return path_;
    }

private:
    std::filesystem::path path_;
};

// A picture handed out must hold pixels; an empty one would reach the filters.
void requirePixels(const std::optional<Image>& picture) {
    if (picture && picture->isEmpty()) std::abort();
}

}  // namespace
}  // namespace tintreel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tintreel;
    static ScratchMovie scratch;
    const std::filesystem::path& path = scratch.write(data, size);
    const MediaAsset asset = MediaAsset::open(path);
    if (!asset.firstVideoTrack()) return 0;
    requirePixels(FrameImageAtTime(path, 0.0));
    requirePixels(FrameImageAtTime(path, asset.durationSeconds() / 2));
    return 0;
}
