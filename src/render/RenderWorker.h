#pragma once
// The render worker: turns the loaded video into the preview movie, one
// movie pass per enabled effect in the catalogue's order, each pass reading
// the file the previous one wrote. On success the last file becomes
// "movie." + extension in the temporary directory; on failure (including a
// final movie that cannot be put in place) or cancel the temporary directory
// is emptied. Exactly one completion ends every render; its result carries
// the final movie, or why the render failed.
//
// Ownership: the request (settings, watermark picture, paths) is the
// worker's own copy, taken when the render was queued; the cancel flag, the
// notification centre and the completion belong to the caller.
// Threads: GeneratePreviewVideo blocks its thread (the render's own) for the
// whole render and calls the completion on that thread as its last act; the
// caller hands the result to the GUI thread. It reads no widget.

#include <atomic>
#include <filesystem>
#include <functional>

#include "imaging/EffectSettings.h"
#include "platform/filters/Image.h"
#include "platform/system/NotificationCenter.h"
#include "render/RenderResult.h"

namespace tintreel {

struct RenderRequest {
    EffectSettings settings;
    Image logo;  // the image watermark's picture
    std::filesystem::path videoPath;
    std::filesystem::path temporaryDirectory;
};

using RenderCompletion = std::function<void(const RenderResult&)>;

// How many passes the settings ask for (one per effect that runs on a movie).
int countMoviePasses(const EffectSettings& settings);

void GeneratePreviewVideo(const RenderRequest& request, const std::atomic<bool>& cancelFlag,
                          const NotificationCenter& notifications, const RenderCompletion& completion);

}  // namespace tintreel
