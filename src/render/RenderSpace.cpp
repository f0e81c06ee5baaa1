#include "render/RenderSpace.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "imaging/FrameGeometry.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MovieTypes.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

// Measured on 640x360 clips under heavy temporal noise (testsrc2 with noise
// strength 80), the worst case for an encoder: about 5.1 bits per pixel at
// each codec's High quality (H.264 CRF 16, H.265 18, AV1 24, VP9 24), and
// half of that at Small (H.264 CRF 26). 6 leaves a margin above it.
constexpr double kBitsPerPixelAtHigh = 6.0;
// The per-effect passes' lossless RGB intermediates: 27.2 bits per pixel
// measured under the same noise.
constexpr double kIntermediateBitsPerPixel = 30.0;
// A rate for a file that does not state its own: a bound, not a guess.
constexpr double kUnknownFramesPerSecond = 60.0;

RenderSettings atLevel(RenderSettings settings, QualityLevel level) {
    settings.quality = Quality{level};
    return settings;
}

// The frame the render's passes make: the upright frame cropped, reframed
// and sized as the look, the crop and an output preset ask (a preset may
// scale up).
FrameSize shapedFrame(const RenderRequest& request, const SourceFacts& source) {
    return FrameGeometry(requestGeometry(request)).outputSize({source.width, source.height});
}

// That frame's pixels once scaled to the height asked for (only ever down).
double finalPixels(FrameSize frame, int maxHeight) {
    const double pixels = static_cast<double>(frame.width) * frame.height;
    if (maxHeight <= 0 || maxHeight >= frame.height) return pixels;
    const double scale = static_cast<double>(maxHeight) / frame.height;
    return pixels * scale * scale;
}

// The seconds the render writes: the span's, when it cuts one.
double writtenSeconds(const RenderRequest& request, const SourceFacts& source) {
    if (!request.span) return source.seconds;
    return std::max(0.0, std::min(request.span->out, source.seconds) - request.span->in);
}

double movieBytes(const SourceFacts& source, double seconds, double pixels, double bitsPerPixel) {
    const double rate = source.framesPerSecond > 0 ? source.framesPerSecond : kUnknownFramesPerSecond;
    return seconds * (pixels * rate * bitsPerPixel + source.audioBitsPerSecond) / 8;
}

}  // namespace

SourceFacts sourceFactsOf(const MediaAsset& asset, const fs::path& file) {
    SourceFacts facts;
    facts.seconds = std::max(asset.videoSeconds(), asset.durationSeconds());
    if (const std::optional<VideoTrack>& track = asset.firstVideoTrack()) {
        const Orientation upright = uprightOrientation(*track);
        facts.width = upright.width;
        facts.height = upright.height;
        facts.framesPerSecond = track->framesPerSecond;
    }
    facts.audioBitsPerSecond = asset.audioBitsPerSecondBound();
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    facts.fileBytes = ec ? 0 : size;
    return facts;
}

// A quality's bound halves from the codec's High to its Small, as measured,
// and goes on at that pace beyond either.
double finalBitsPerPixelBound(VideoCodec codec, const RenderSettings& settings) {
    const int high = encoderSetup(codec, atLevel(settings, QualityLevel::High)).crf;
    const int small = encoderSetup(codec, atLevel(settings, QualityLevel::Small)).crf;
    const int crf = encoderSetup(codec, settings).crf;
    return kBitsPerPixelAtHigh * std::exp2(-static_cast<double>(crf - high) / (small - high));
}

// One pass writes the final movie; the per-effect mode also holds up to two
// lossless intermediates at once (the one a pass reads and the one it writes).
// With nothing to encode the source itself is copied.
std::uintmax_t estimateRenderBytes(const RenderRequest& request, const SourceFacts& source) {
    const int passes = countMoviePasses(request);
    if (passes == 0) return source.fileBytes;
    const VideoCodec codec = videoCodecFor(finalExtension(request), request.renderSettings.codec);
    const FrameSize frame = shapedFrame(request, source);
    const double seconds = writtenSeconds(request, source);
    double bytes = movieBytes(source, seconds, finalPixels(frame, request.renderSettings.maxHeight),
                              finalBitsPerPixelBound(codec, request.renderSettings));
    if (request.passMode == PassMode::Each && passes > 1)
        bytes += std::min(passes - 1, 2) *
                 movieBytes(source, seconds, finalPixels(frame, 0), kIntermediateBitsPerPixel);
    return static_cast<std::uintmax_t>(std::ceil(bytes));
}

std::optional<std::uintmax_t> freeBytesIn(const fs::path& folder) {
    std::error_code ec;
    const fs::space_info space = fs::space(folder, ec);
    if (ec) return std::nullopt;
    return space.available;
}

RenderFolders::RenderFolders(fs::path fast, fs::path cacheParent, FreeSpaceProbe probe)
    : fast_(std::move(fast)), cacheParent_(std::move(cacheParent)), probe_(std::move(probe)) {}

fs::path RenderFolders::folderFor(std::uintmax_t bytes) {
    const std::optional<std::uintmax_t> free = probe_(fast_);
    const bool fastHolds =
        !free || (*free >= kRuntimeFolderReserve && *free - kRuntimeFolderReserve >= bytes);
    const fs::path chosen = fastHolds ? fast_ : cacheFolder();
    if (chosen != fast_) DeleteTemporaryFiles(fast_);
    if (cache_ && chosen != cache_->path()) DeleteTemporaryFiles(cache_->path());
    return chosen;
}

void RenderFolders::deleteTemporaryFiles() {
    DeleteTemporaryFiles(fast_);
    if (cache_) DeleteTemporaryFiles(cache_->path());
}

const fs::path& RenderFolders::cacheFolder() {
    if (cache_) return cache_->path();
    std::error_code ec;
    fs::create_directories(cacheParent_, ec);
    cache_ = TemporaryDirectory::createIn(cacheParent_);
    if (cache_) return cache_->path();
    logLine("Error: could not create a private folder in " + quotedPath(cacheParent_));
    return fast_;
}

}  // namespace tintreel
