#pragma once
// The render worker: turns the loaded video into the preview movie, either in
// one pass (every enabled effect on each frame, one decode and one encode) or
// in one movie pass per enabled effect in the catalogue's order, each pass
// reading the file the previous one wrote. Both give the encoder the same
// pictures. With no effect enabled the source itself is the result, unless
// the final movie must differ from it (another container, or a codec,
// quality or size asked for): then one pass encodes it unchanged. A file
// size renders the effects in one pass whatever the pass mode, encoding the
// final movie twice where its codec measures first (encodesTwiceForSize) and
// again at a lower rate if the file came out over the size.
// On success the last file becomes "movie." + extension in the
// temporary directory, or, when the request names a destination, is put in
// place there whole; on failure (including a final movie that cannot be put
// in place, or a file that appeared at a destination that may not be
// replaced) or cancel the temporary directory is emptied and nothing of the
// render is left at the destination or beside it. Exactly one completion ends every render; its result
// carries the final movie, or why the render failed.
//
// Ownership: the request (settings, watermark picture, paths, the opened
// source) is the worker's own copy, taken when the render was queued; the cancel flag, the
// notification centre and the completion belong to the caller.
// Threads: GeneratePreviewVideo blocks its thread (the render's own) for the
// whole render and calls the completion on that thread as its last act; the
// caller hands the result to the GUI thread. It reads no widget.

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "imaging/EffectSettings.h"
#include "imaging/FrameGeometry.h"
#include "platform/filters/Image.h"
#include "platform/media/LoudnessMeter.h"
#include "platform/media/MovieSlice.h"
#include "platform/media/MovieSource.h"
#include "platform/media/MovieSpan.h"
#include "platform/media/MovieWriter.h"
#include "platform/media/RenderSettings.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/NotificationCenter.h"
#include "render/PassMode.h"
#include "render/RenderResult.h"
#include "render/SizeTarget.h"

namespace tintreel {

struct RenderRequest {
    EffectSettings settings;
    Image logo;  // the image watermark's picture
    std::filesystem::path videoPath;
    std::filesystem::path temporaryDirectory;
    PassMode passMode = PassMode::One;
    // Where the finished movie goes; empty for "movie." + extension in the
    // temporary directory. A one-pass render writes it beside the
    // destination and renames it into place.
    std::filesystem::path destination = {};
    // How the last pass encodes: for players (the default), or losslessly,
    // which keeps exactly the pictures the effects made.
    EncodingRole finalEncoding = EncodingRole::Final;
    // One slice of a movie split over workers: only its frames, encoded even
    // when no effect is enabled, without audio, into the destination's own
    // container. Needs a destination and the one-pass mode.
    std::optional<MovieSlice> slice = std::nullopt;
    // Only this span of the movie, re-encoded even when no effect is
    // enabled; its clock, sound, subtitles and chapters start at the in point.
    std::optional<MovieSpan> span = std::nullopt;
    // A span without effects or asked encoding is copied packet for packet
    // from the key frame at or before its in point instead: fast, not exact.
    bool cutAtKeyFrames = false;
    // How the final movie is encoded.
    RenderSettings renderSettings = {};
    // The final movie's extension, which names its container; empty: the
    // destination's, or without one the container a render of the source
    // writes with the asked codec (see renderedExtensionFor).
    std::string container = {};
    // The movie at videoPath as its caller opened and checked it already;
    // null: the worker opens it. Either way the render opens it once.
    std::shared_ptr<MovieSource> source = nullptr;
    // Whether the finished movie may replace a file found at the destination.
    IfTaken ifDestinationTaken = IfTaken::Replace;
    // The video's crop, in pixels of its upright picture; nothing keeps the whole frame.
    std::optional<PixelRect> crop = std::nullopt;
    // The loudness of the output's sound, track by track, when the caller
    // measured it already over the request's span; unset: a render that
    // normalises the loudness measures it before its first pass.
    std::optional<std::vector<TrackLoudness>> loudness = std::nullopt;
};

// The frame's shape the request asks for: the look's reframe and mirroring,
// the crop, and the preset's size unless a height was asked.
ShapeChoice requestGeometry(const RenderRequest& request);

using RenderCompletion = std::function<void(const RenderResult&)>;

// How many movie passes the request runs: in per-effect mode one per effect
// that runs on a movie, in one-pass mode one when any does; when no effect
// runs, one if the source must be encoded, else none (it is copied).
int countMoviePasses(const RenderRequest& request);

// The extension of the request's final movie (see RenderRequest::container).
std::string finalExtension(const RenderRequest& request);

// How long the request's output runs: the whole video of `source`, or the
// slice's share of it. A file size is spread over this duration.
double outputSeconds(const RenderRequest& request, const MovieSource& source);

// How the request's final movie fits its file size (RenderSettings::maxBytes,
// which must be set), or why it cannot.
Result<SizePlan> sizePlanFor(const RenderRequest& request, const MovieSource& source);

void GeneratePreviewVideo(const RenderRequest& request, const std::atomic<bool>& cancelFlag,
                          const NotificationCenter& notifications, const RenderCompletion& completion);

}  // namespace tintreel
