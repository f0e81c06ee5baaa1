#pragma once
// VideoTools: one movie pass. Reads a movie, runs every frame (turned upright
// first) through an effect, writes the result, and reports progress about
// once a second as the "UpdateProgress" notification. The effect is one step
// of the effect table (a per-effect pass, written as "movie" + index + "." +
// its extension in the render's temporary directory: see
// intermediateExtensionFor for the lossless intermediates, the final movie's
// container for the last) or the whole
// chain of enabled steps (the one pass of a one-pass render, written where
// the render says).
//
// Ownership: a pass builds its own reader and writer and drops them before it
// returns; it shares its input's open file (MovieSource) with the render; the effect, the cancel flag and the
// notification centre belong to the caller. Threads: a pass blocks its calling thread (the render worker's)
// and posts its notifications there; decoding, the effect and encoding run on
// the reader's threads, the effect under the cancel flag so that a cancel
// stops the frame in hand.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/EffectChain.h"
#include "imaging/EffectSteps.h"
#include "imaging/FrameGeometry.h"
#include "platform/media/MovieSlice.h"
#include "platform/media/MovieSource.h"
#include "platform/media/MovieSpan.h"
#include "platform/media/MovieWriter.h"
#include "platform/media/RenderSettings.h"
#include "platform/system/NotificationCenter.h"
#include "render/RenderResult.h"
#include "settings/ProgressText.h"

namespace tintreel {

// What a pass needs from the render around it.
struct PassEnvironment {
    std::filesystem::path temporaryDirectory;
    const std::atomic<bool>& cancelFlag;
    const NotificationCenter& notifications;
    EncodingRole role = EncodingRole::Final;
    int passNumber = 1;  // in the progress report, for the window's progress bar
    int passCount = 1;
    // When the whole render began: its speed and time left are measured from here.
    std::chrono::steady_clock::time_point renderStart = std::chrono::steady_clock::now();
    // The movie the render started from, when a pass reads another one (an
    // intermediate): its colours, pixel shape, chapters and metadata are what
    // the output carries. Null: the pass's input itself. Owned by the render.
    const MovieSource* originalMovie = nullptr;
    // When set, the pass renders only this slice's frames, without audio.
    std::optional<MovieSlice> slice = std::nullopt;
    // When set, the output covers only this span of the original movie: the
    // pass reading the original cuts it, later passes carry its chapters.
    std::optional<MovieSpan> span = std::nullopt;
    // How the final movie is encoded, and its extension (container); empty:
    // the one a render of the input writes (see renderedExtensionFor).
    RenderSettings renderSettings = {};
    std::string finalExtension = {};
    // The frame's shape, applied to each upright frame before the effect
    // (only in the pass that reads the source); null: frames keep theirs.
    const FrameGeometry* geometry = nullptr;
    // Set: the final movie is encoded at this average rate, for a file size.
    std::optional<RateControl> rate = std::nullopt;
    // Set: the pass reading the original movie shapes its sound so.
    std::optional<SoundPlan> sound = std::nullopt;
};

// A path's extension without its dot ("" when it has none).
std::string pathExtension(const std::filesystem::path& path);

class VideoTools {
public:
    // Renders `input` through one step's `effect`, reporting `code` as
    // what runs, and on success hands back the absolute path of the movie
    // written. The wait loop: completion first, then cancel, then a failure
    // the reader saw (the writer's first error, an unreadable input) fails
    // the pass, then a stall (no progress since the previous cycle, for a
    // reader or writer that hangs without an error) does, then one
    // notification, then a wait of one second that ends early when the movie
    // completes, fails or the cancel flag is seen. A failure prints one line
    // saying why.
    // The pass reads `input` as it was opened, without opening it again.
    static RenderResult renderPass(long long index, std::shared_ptr<MovieSource> input, EffectCode code,
                                   FrameEffect& effect, const PassEnvironment& environment);

    // Renders `input` through every step of `chain` in one pass into
    // `output`, reporting the whole chain and its steps' names; otherwise
    // as renderPass.
    static RenderResult renderChain(std::shared_ptr<MovieSource> input, EffectChain& chain,
                                    const std::filesystem::path& output, const PassEnvironment& environment);

    // Opens a pass's input; when it cannot be read, prints the line a pass
    // that cannot start prints and hands back why (the path, then the reason).
    static Result<std::shared_ptr<MovieSource>> openInput(const std::filesystem::path& path);

    // "movie" + index + "." + extension, in the temporary directory.
    static std::filesystem::path outputPath(long long index, std::string_view extension,
                                            const std::filesystem::path& temporaryDirectory);
    // The extension of a pass's movie: an intermediate's before the last
    // pass, the final movie's container for it.
    static std::string passExtension(const std::filesystem::path& inputPath,
                                     const PassEnvironment& environment);
};

}  // namespace tintreel
