#pragma once
// Where a render from the window writes its movies. The process's private
// folder in $XDG_RUNTIME_DIR is fast but, on most desktops, a small
// memory-backed file system; a render whose files it cannot hold goes to a
// private folder in the user's cache folder instead. Whether it can is
// judged before the render starts, from an upper bound on what the render
// writes worked out from the source and the settings, against the folder's
// free space.
//
// The estimate functions are pure; any thread. RenderFolders: GUI thread
// (the controller's), never while a render of its folders runs.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "platform/media/RenderSettings.h"
#include "platform/system/TemporaryDirectory.h"
#include "render/RenderWorker.h"

namespace tintreel {

class MediaAsset;

// What the estimate needs to know about the source.
struct SourceFacts {
    double seconds = 0;  // the video's length
    int width = 0;       // its frames upright, before any size asked for
    int height = 0;
    double framesPerSecond = 0;     // 0 when the file does not say
    double audioBitsPerSecond = 0;  // at most, every track together
    std::uintmax_t fileBytes = 0;
};

SourceFacts sourceFactsOf(const MediaAsset& asset, const std::filesystem::path& file);

// Bits per pixel that a final encode at `settings`' quality stays below,
// even on heavy film grain.
double finalBitsPerPixelBound(VideoCodec codec, const RenderSettings& settings);

// At most how many bytes the render's files take at once in its folder.
std::uintmax_t estimateRenderBytes(const RenderRequest& request, const SourceFacts& source);

// The bytes that a folder still has free for us (statvfs), or nothing when
// that cannot be told.
using FreeSpaceProbe = std::function<std::optional<std::uintmax_t>(const std::filesystem::path&)>;
std::optional<std::uintmax_t> freeBytesIn(const std::filesystem::path& folder);

// What a render leaves free in the runtime folder for everything else that
// lives there (sockets, other programs' files).
inline constexpr std::uintmax_t kRuntimeFolderReserve = std::uintmax_t{64} << 20;

class RenderFolders {
public:
    // `fast`: the process's private folder (removed by its owner);
    // `cacheParent`: where the private fallback folder is made when a render
    // first needs it (removed with this object).
    RenderFolders(std::filesystem::path fast, std::filesystem::path cacheParent,
                  FreeSpaceProbe probe = freeBytesIn);

    // The folder for a render that writes at most `bytes`: the fast one when
    // it holds them and the reserve, or its free space cannot be told; else
    // the cache one (the fast one when that cannot be made). The folder not
    // chosen is emptied: a new render replaces the last one's movie anyway.
    std::filesystem::path folderFor(std::uintmax_t bytes);
    const std::filesystem::path& fast() const { return fast_; }
    // Empties both.
    void deleteTemporaryFiles();

private:
    const std::filesystem::path& cacheFolder();

    std::filesystem::path fast_;
    std::filesystem::path cacheParent_;
    FreeSpaceProbe probe_;
    std::optional<TemporaryDirectory> cache_;
};

}  // namespace tintreel
