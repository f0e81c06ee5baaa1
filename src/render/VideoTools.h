#pragma once
// VideoTools: one movie pass. Reads a movie, runs every frame (turned upright
// first) through one effect, writes "movie" + index + "." + the input's
// extension into the render's temporary directory, and reports progress
// about once a second as the "UpdateProgress" notification.
//
// Every effect code goes through the one procedure RenderPass; the effect
// itself is a FrameEffect made from the effect catalogue.
//
// Ownership: a pass builds its own reader and writer and drops them before it
// returns; the effect, the cancel flag and the notification centre belong to
// the caller. Threads: a pass blocks its calling thread (the render worker's)
// and posts its notifications there; decoding, the effect and encoding run on
// the reader's threads.

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>

#include "imaging/EffectSteps.h"
#include "platform/media/MovieWriter.h"
#include "platform/system/NotificationCenter.h"
#include "render/RenderResult.h"

namespace tintreel {

inline constexpr std::string_view kUpdateProgress = "UpdateProgress";

// What a pass needs from the render around it.
struct PassEnvironment {
    std::filesystem::path temporaryDirectory;
    const std::atomic<bool>& cancelFlag;
    const NotificationCenter& notifications;
    EncodingRole role = EncodingRole::Final;
    int passNumber = 1;  // posted as "pass", for the window's progress bar
    int passCount = 1;   // posted as "passCount"
};

// A path's extension without its dot ("" when it has none).
std::string pathExtension(const std::filesystem::path& path);

class VideoTools {
public:
    // Renders `inputPath` through `effect`, posting `code` as "effect", and
    // on success hands back the absolute path of the movie written. The wait
    // loop: completion first, then cancel, then a failure the reader saw (the
    // writer's first error, an unreadable input) fails the pass, then a stall
    // (no progress since the previous cycle, for a reader or writer that
    // hangs without an error) does, then one notification, then a wait of one
    // second that ends early when the movie completes, fails or the cancel
    // flag is seen. A failure prints one line saying why.
    static RenderResult RenderPass(long long index, const std::filesystem::path& inputPath, EffectCode code,
                                   FrameEffect& effect, const PassEnvironment& environment);

    // "movie" + index + "." + the input's extension, in the temporary directory.
    static std::filesystem::path OutputPath(long long index, const std::filesystem::path& inputPath,
                                            const std::filesystem::path& temporaryDirectory);
};

}  // namespace tintreel
