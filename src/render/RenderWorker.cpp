#include "render/RenderWorker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "imaging/EffectChain.h"
#include "imaging/EffectSteps.h"
#include "imaging/SoundSettings.h"
#include "imaging/WatermarkScale.h"
#include "platform/media/AnimatedImage.h"
#include "platform/media/MovieIntegrity.h"
#include "platform/media/MovieTypes.h"
#include "platform/media/Remux.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/Log.h"
#include "platform/system/TemporaryDirectory.h"
#include "render/SoundPlanning.h"
#include "render/VideoTools.h"

namespace tintreel {
namespace fs = std::filesystem;

namespace {

// Removes a file of this render; a file that is already gone is not an error.
void removeQuietlyIfGone(const fs::path& file) {
    std::error_code error;
    fs::remove(file, error);
    if (error) logLine("Could not delete video: " + error.message());
}

// The movie the previous pass wrote may go once the pass reading it has succeeded.
void dropIntermediate(const fs::path& previous, const RenderRequest& request) {
    if (previous != request.videoPath && previous.parent_path() == request.temporaryDirectory)
        removeQuietlyIfGone(previous);
}

// Where a successful render's movie ends up. The extension is that of the
// movie in hand: a pass's (the rendered extension) or, when no effect ran, the
// source's own, as the source is copied unchanged.
fs::path finalPath(const fs::path& lastMovie, const RenderRequest& request) {
    if (!request.destination.empty()) return request.destination;
    return request.temporaryDirectory / ("movie." + pathExtension(lastMovie));
}

// Success: the last movie becomes the final one, replacing an earlier
// render's (or, when the request says so, never a file found there), and the
// intermediates go. A failure when the final movie could not be put in place
// (a full disk, the directory gone, a file that took its place): that render
// has no result to show, and its movie goes too, also from beside the
// destination.
RenderResult finishRender(const fs::path& lastMovie, long long passes, const RenderRequest& request) {
    const fs::path final = finalPath(lastMovie, request);
    const IfTaken ifTaken = request.ifDestinationTaken;
    // Our own last pass is moved into place; the user's file (no pass ran) is copied.
    const Status placed = passes > 0 ? moveFileAtomically(lastMovie, final, ifTaken)
                                     : copyFileAtomically(lastMovie, final, ifTaken);
    if (!placed) logLine("Could not copy final video: " + placed.error());
    for (long long i = 1; i <= passes; ++i)
        removeQuietlyIfGone(VideoTools::outputPath(
            i, i < passes ? intermediateExtensionFor(request.videoPath) : finalExtension(request),
            request.temporaryDirectory));
    if (placed) return RenderResult::succeeded(final);
    if (passes > 0) removeQuietlyIfGone(lastMovie);
    return RenderResult::notPlaced(
        placed.error(), wasTaken(placed) ? PlacementFailure::Taken : PlacementFailure::CannotWrite);
}

PassEnvironment passEnvironment(const RenderRequest& request, const MovieSource& source,
                                const std::atomic<bool>& cancelFlag, const NotificationCenter& notifications,
                                int pass, int passCount, std::chrono::steady_clock::time_point renderStart,
                                const FrameGeometry* geometry) {
    return {request.temporaryDirectory,
            cancelFlag,
            notifications,
            pass == passCount ? request.finalEncoding : EncodingRole::Intermediate,
            pass,
            passCount,
            renderStart,
            &source,
            request.slice,
            request.span,
            request.renderSettings,
            finalExtension(request),
            geometry && !geometry->isIdentity() ? geometry : nullptr,
            std::nullopt,
            soundPlanFor(request, source)};
}

// A file size and an animated picture each need the effects' pictures in one
// pass, whatever the pass mode asks: both encode their output more than once.
bool encodesOnlyInOnePass(const RenderRequest& request) {
    return request.renderSettings.maxBytes > 0 || isAnimationExtension(finalExtension(request));
}

int countEffectPasses(const EffectSettings& settings) {
    int passes = 0;
    for (const EffectStep& step : effectSteps()) passes += step.runsOnMovie(settings) ? 1 : 0;
    return passes;
}

// Whether a render without effects must still encode: a copy of the source
// would be in the wrong container, or not what was asked, or it is a slice,
// or a span, which must be cut out of the source.
bool sourceNeedsEncoding(const RenderRequest& request) {
    return request.slice || request.span || request.renderSettings.asksForEncoding() ||
           !FrameGeometry(requestGeometry(request)).isIdentity() ||
           !sameContainer(request.videoPath, "movie." + finalExtension(request));
}

// The one pass's movie: where the per-effect mode's first pass would write
// it, or beside the destination, in the final movie's container.
fs::path onePassOutput(const RenderRequest& request) {
    if (request.destination.empty())
        return VideoTools::outputPath(1, finalExtension(request), request.temporaryDirectory);
    return partialNameBeside(request.destination, finalExtension(request));
}

// The settings as they apply to this movie: a watermark shown to the end
// with a fade fades out as the movie (or its span) ends.
EffectSettings settingsForMovie(const RenderRequest& request, const MovieSource& source) {
    const double seconds = source.facts().videoSeconds();
    if (!request.span) return watermarksEndingAt(request.settings, seconds);
    return watermarksEndingAt(request.settings, std::min(request.span->out, seconds) - request.span->in);
}

// The source itself is the result, when it is whole: a copy of a movie cut
// short or damaged would pass a broken file off as a finished render, which
// the decoding passes refuse too.
RenderResult sourceAsItIs(const RenderRequest& request) {
    if (const Status whole = checkMovieComplete(request.videoPath); !whole) {
        logLine("Movie pass failed: the movie is cut short or damaged: " + whole.error());
        return RenderResult::failed(whole.error());
    }
    return RenderResult::succeeded(request.videoPath);
}

// The measuring pass of a two-pass encode, into a file of the temporary
// directory that goes as soon as the pass ends (its statistics stay).
RenderResult measureForSize(const std::shared_ptr<MovieSource>& source, EffectChain& chain,
                            PassEnvironment environment, const fs::path& statsFolder) {
    environment.rate->pass = 1;
    const fs::path measured = statsFolder / ("measured." + environment.finalExtension);
    RenderResult result = VideoTools::renderChain(source, chain, measured, environment);
    removeQuietlyIfGone(measured);
    return result;
}

long long fileBytes(const fs::path& file) {
    std::error_code error;
    const auto bytes = fs::file_size(file, error);
    return error ? -1 : static_cast<long long>(bytes);
}

// The final pass, run again at a lower rate while the file is over the size.
RenderResult encodeToSize(const RenderRequest& request, const std::shared_ptr<MovieSource>& source,
                          EffectChain& chain, PassEnvironment environment, SizePlan plan,
                          const fs::path& output) {
    constexpr int kMostTries = 3;
    const long long maxBytes = request.renderSettings.maxBytes;
    const double seconds = outputSeconds(request, *source);
    for (int attempt = 1;; ++attempt) {
        environment.rate->videoBitsPerSecond = plan.videoBitsPerSecond;
        // A pass reads its input to the end: every pass after the first opens it again.
        Result<std::shared_ptr<MovieSource>> input = attempt == 1 && environment.rate->pass == 0
                                                         ? Result(source)
                                                         : VideoTools::openInput(source->path());
        if (!input) return RenderResult::failed(input.error());
        RenderResult result = VideoTools::renderChain(std::move(*input), chain, output, environment);
        const long long written = fileBytes(output);
        if (result.outcome != RenderOutcome::Succeeded || (written >= 0 && written <= maxBytes)) {
            if (result.outcome == RenderOutcome::Succeeded && written < kLeastShareOfTarget * maxBytes)
                logLine("The movie takes " + byteSizeText(written) + " of the " + byteSizeText(maxBytes) +
                        " allowed: the encoder's best picture needs no more");
            return result;
        }
        const std::optional<SizePlan> lower = replanForSize(plan, maxBytes, written, seconds);
        if (!lower || attempt == kMostTries) {
            const std::string why = "the movie came out at " + byteSizeText(written) + ", over the " +
                                    byteSizeText(maxBytes) + " asked for";
            logLine("Movie pass failed: " + why);
            return RenderResult::failed(why);
        }
        plan = *lower;
    }
}

// The one pass of a render to a file size: the plan, the measuring pass
// where the codec takes one, then the final pass.
RenderResult runToSize(const RenderRequest& request, const std::shared_ptr<MovieSource>& source,
                       EffectChain& chain, const fs::path& output, const std::atomic<bool>& cancelFlag,
                       const NotificationCenter& notifications, const FrameGeometry* geometry) {
    const Result<SizePlan> plan = sizePlanFor(request, *source);
    if (!plan) {
        logLine("Could not start movie pass: " + plan.error());
        return RenderResult::failed(plan.error());
    }
    const fs::path statsFolder = request.temporaryDirectory / "rate";
    std::error_code error;
    fs::create_directories(statsFolder, error);
    const bool twice =
        encodesTwiceForSize(videoCodecFor(finalExtension(request), request.renderSettings.codec));
    const int passCount = twice ? 2 : 1;
    const auto start = std::chrono::steady_clock::now();
    PassEnvironment environment =
        passEnvironment(request, *source, cancelFlag, notifications, 1, passCount, start, geometry);
    environment.role = request.finalEncoding;  // the measuring pass encodes as the final one will
    environment.rate =
        RateControl{plan->videoBitsPerSecond, twice ? 2 : 0, statsFolder / "stats", plan->audioBitsPerSecond};
    RenderResult result = RenderResult::succeeded(output);
    if (twice) result = measureForSize(source, chain, environment, statsFolder);
    if (result.outcome == RenderOutcome::Succeeded) {
        environment.passNumber = passCount;
        result = encodeToSize(request, source, chain, environment, *plan, output);
    }
    fs::remove_all(statsFolder, error);
    return result;
}

// Turns the lossless movie of the effects pass into the animated picture,
// reporting itself as the render's second pass.
RenderResult animate(const fs::path& movie, const fs::path& output, const RenderRequest& request,
                     PassEnvironment environment) {
    RenderProgress report;
    report.pass = report.passCount = environment.passCount;
    float lastPosted = 0.0f;
    const Status written = writeAnimation(movie, output, request.renderSettings.animation,
                                          environment.cancelFlag, [&](float done) {
                                              // A report per hundredth is plenty for a bar; one per frame
                                              // floods the window.
                                              if (done - lastPosted < 0.01f) return;
                                              lastPosted = done;
                                              report.fraction = std::min(done, 0.99f);
                                              postProgress(environment.notifications, report);
                                          });
    if (environment.cancelFlag) return RenderResult::canceled();
    if (written) return RenderResult::succeeded(output);
    logLine("Movie pass failed: " + written.error());
    return RenderResult::failed(written.error());
}

// The one pass of a render to an animated picture: the effects into a
// lossless movie of the temporary directory, then that movie into the picture.
RenderResult runToAnimation(const RenderRequest& request, const std::shared_ptr<MovieSource>& source,
                            EffectChain& chain, const fs::path& output, const std::atomic<bool>& cancelFlag,
                            const NotificationCenter& notifications, const FrameGeometry* geometry) {
    const fs::path frames =
        request.temporaryDirectory / ("frames." + intermediateExtensionFor(request.videoPath));
    PassEnvironment environment = passEnvironment(request, *source, cancelFlag, notifications, 1, 2,
                                                  std::chrono::steady_clock::now(), geometry);
    if (source->facts().audioTrackCount() > 0)
        logLine("An animated picture has no sound: the movie's sound is left out");
    RenderResult result = VideoTools::renderChain(source, chain, frames, environment);
    if (result.outcome == RenderOutcome::Succeeded) result = animate(frames, output, request, environment);
    removeQuietlyIfGone(frames);
    return result;
}

// The one pass's encoding: to an animated picture, to a file size, or at the
// settings' quality.
RenderResult encodeOnePass(const RenderRequest& request, const std::shared_ptr<MovieSource>& source,
                           EffectChain& chain, const fs::path& output, const std::atomic<bool>& cancelFlag,
                           const NotificationCenter& notifications, const FrameGeometry* geometry) {
    if (isAnimationExtension(finalExtension(request)))
        return runToAnimation(request, source, chain, output, cancelFlag, notifications, geometry);
    if (request.renderSettings.maxBytes > 0)
        return runToSize(request, source, chain, output, cancelFlag, notifications, geometry);
    return VideoTools::renderChain(source, chain, output,
                                   passEnvironment(request, *source, cancelFlag, notifications, 1, 1,
                                                   std::chrono::steady_clock::now(), geometry));
}

// A span copied without decoding, from the key frame at or before its in
// point; one line says so, and how early it starts.
RenderResult copySpanAtKeyFrames(const RenderRequest& request, const MovieSource& source,
                                 const fs::path& output) {
    const std::optional<SoundPlan> sound = soundPlanFor(request, source);
    const Result<double> early = remuxSpan(request.videoPath, output, *request.span, sound ? &*sound : nullptr);
    if (!early) {
        logLine("Could not copy the span: " + early.error());
        removeQuietlyIfGone(output);
        return RenderResult::failed(early.error());
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", *early);
    logLine(std::string("Cut at key frames: copied without encoding from the key frame ") + seconds +
            " s before the in point");
    return RenderResult::succeeded(output);
}

// No picture step, but the sound changes: the video is copied packet for
// packet while the sound is encoded again, shaped.
RenderResult copyWithShapedSound(const RenderRequest& request, const MovieSource& source) {
    const fs::path output = onePassOutput(request);
    const std::optional<SoundPlan> sound = soundPlanFor(request, source);
    if (const Status written = remuxMovie(request.videoPath, output, sound ? &*sound : nullptr); !written) {
        logLine("Movie pass failed: " + written.error());
        return RenderResult::failed(written.error());
    }
    return RenderResult::succeeded(output);
}

// Whether the span may be copied rather than encoded.
bool copiesAtKeyFrames(const RenderRequest& request, const EffectChain& chain) {
    return chain.empty() && request.span && request.cutAtKeyFrames &&
           !request.renderSettings.asksForEncoding();
}

// Runs every enabled effect on each frame in one decode and encode.
RenderResult runOnePass(const RenderRequest& request, const std::shared_ptr<MovieSource>& source,
                        const std::atomic<bool>& cancelFlag, const NotificationCenter& notifications) {
    EffectChain chain(settingsForMovie(request, *source), request.logo, ChainRules::Movie);
    if (chain.empty() && !sourceNeedsEncoding(request))
        return changesSound(request.settings) ? copyWithShapedSound(request, *source) : sourceAsItIs(request);
    const fs::path output = onePassOutput(request);
    if (copiesAtKeyFrames(request, chain)) return copySpanAtKeyFrames(request, *source, output);
    const FrameGeometry geometry(requestGeometry(request));
    RenderResult result = encodeOnePass(request, source, chain, output, cancelFlag, notifications, &geometry);
    // A movie left beside the destination is nobody's once the render failed.
    if (result.outcome != RenderOutcome::Succeeded && !request.destination.empty())
        removeQuietlyIfGone(output);
    return result;
}

// Runs one pass per enabled effect, each reading what the previous one
// wrote: the first reads the render's source as it was opened, every later
// one opens the intermediate it reads.
RenderResult runEachEffect(const RenderRequest& request, const std::shared_ptr<MovieSource>& source,
                           const std::atomic<bool>& cancelFlag, const NotificationCenter& notifications) {
    const int passCount = countEffectPasses(request.settings);
    // Without effects the source is encoded, if at all, in the one pass.
    if (passCount == 0) return runOnePass(request, source, cancelFlag, notifications);
    const auto renderStart = std::chrono::steady_clock::now();
    const EffectSettings settings = settingsForMovie(request, *source);
    // The first pass reads the source and gives every later one its shape.
    const FrameGeometry geometry(requestGeometry(request));
    RenderResult current = RenderResult::succeeded(request.videoPath);
    int counter = 0;
    for (const EffectStep& step : effectSteps()) {
        if (!step.runsOnMovie(request.settings)) continue;
        Result<std::shared_ptr<MovieSource>> input =
            counter == 0 ? Result(source) : VideoTools::openInput(current.newVideoPath);
        if (!input) return RenderResult::failed(input.error());
        ++counter;
        const PassEnvironment environment =
            passEnvironment(request, *source, cancelFlag, notifications, counter, passCount, renderStart,
                            counter == 1 ? &geometry : nullptr);
        const std::unique_ptr<FrameEffect> effect = step.make(settings, request.logo);
        RenderResult result =
            VideoTools::renderPass(counter, std::move(*input), step.code, *effect, environment);
        if (result.outcome != RenderOutcome::Succeeded) return result;
        dropIntermediate(current.newVideoPath, request);
        current = std::move(result);
    }
    return current;
}

// The passes of a render whose sound is planned: one, or one per effect.
RenderResult runPasses(const RenderRequest& request, const std::shared_ptr<MovieSource>& source,
                       const std::atomic<bool>& cancelFlag, const NotificationCenter& notifications) {
    logSoundPlan(request, *source);
    const bool onePass = request.passMode == PassMode::One || encodesOnlyInOnePass(request);
    return onePass ? runOnePass(request, source, cancelFlag, notifications)
                   : runEachEffect(request, source, cancelFlag, notifications);
}

// A render that normalises its sound's loudness measures it first: only the
// sound is decoded.
RenderResult runMeasured(const RenderRequest& request, const std::shared_ptr<MovieSource>& source,
                         const std::atomic<bool>& cancelFlag, const NotificationCenter& notifications) {
    Result<std::vector<TrackLoudness>> loudness = measureSpanLoudness(request, *source, cancelFlag);
    if (cancelFlag) return RenderResult::canceled();
    if (!loudness) {
        logLine("Could not measure the loudness: " + loudness.error());
        return RenderResult::failed("the sound's loudness cannot be measured: " + loudness.error());
    }
    RenderRequest measured = request;
    measured.loudness = std::move(*loudness);
    return runPasses(measured, source, cancelFlag, notifications);
}

// The request's source, or the movie at its path opened now.
Result<std::shared_ptr<MovieSource>> renderSource(const RenderRequest& request) {
    if (request.source) return request.source;
    return VideoTools::openInput(request.videoPath);
}

// One render in its temporary directory, before the final movie is put in place.
RenderResult runRender(const RenderRequest& request, const std::atomic<bool>& cancelFlag,
                       const NotificationCenter& notifications) {
    // A directory removed under an earlier render is made again, so one
    // failure does not fail every render after it.
    if (!restoreTemporaryDirectory(request.temporaryDirectory))
        return RenderResult::failed("the temporary directory cannot be used");
    const Result<std::shared_ptr<MovieSource>> source = renderSource(request);
    if (!source) return RenderResult::failed(source.error());
    if (needsLoudness(request, **source)) return runMeasured(request, *source, cancelFlag, notifications);
    return runPasses(request, *source, cancelFlag, notifications);
}

}  // namespace

ShapeChoice requestGeometry(const RenderRequest& request) {
    return renderGeometry(request.settings, request.crop, request.renderSettings);
}

int countMoviePasses(const RenderRequest& request) {
    const int passes = countEffectPasses(request.settings);
    if (passes == 0) return sourceNeedsEncoding(request) || changesSound(request.settings) ? 1 : 0;
    return request.passMode == PassMode::One || encodesOnlyInOnePass(request) ? 1 : passes;
}

double outputSeconds(const RenderRequest& request, const MovieSource& source) {
    const double whole = source.facts().videoSeconds();
    const double start = request.span ? request.span->in : 0.0;
    const double end = request.span ? std::min(request.span->out, whole) : whole;
    if (!request.slice) return std::max(0.0, end - start);
    const FrameRange& range = request.slice->range;
    return std::max(0.0, std::min(range.end, end) - std::max(range.start, start));
}

Result<SizePlan> sizePlanFor(const RenderRequest& request, const MovieSource& source) {
    const MediaAsset& facts = source.facts();
    // A slice carries no sound; the join copies the source's once.
    const SoundFacts sound =
        request.slice ? SoundFacts{} : SoundFacts{facts.audioTrackCount(), facts.audioBitsPerSecondBound()};
    return planForSize(request.renderSettings.maxBytes, outputSeconds(request, source), sound);
}

std::string finalExtension(const RenderRequest& request) {
    if (!request.container.empty()) return request.container;
    if (!request.destination.empty()) return pathExtension(request.destination);
    return renderedExtensionFor(request.videoPath, request.renderSettings.codec);
}

void GeneratePreviewVideo(const RenderRequest& request, const std::atomic<bool>& cancelFlag,
                          const NotificationCenter& notifications, const RenderCompletion& completion) {
    RenderResult result = runRender(request, cancelFlag, notifications);
    if (result.outcome == RenderOutcome::Succeeded)
        result = finishRender(result.newVideoPath, countMoviePasses(request), request);
    if (result.outcome != RenderOutcome::Succeeded) DeleteTemporaryFiles(request.temporaryDirectory);
    completion(result);
}

}  // namespace tintreel
