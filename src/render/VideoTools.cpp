#include "render/VideoTools.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/filters/CancelScope.h"
#include "platform/media/MovieReader.h"
#include "platform/media/MovieTypes.h"
#include "platform/system/Log.h"
#include "settings/ProgressText.h"

namespace tintreel {
namespace {

using Clock = std::chrono::steady_clock;

// The label's speed and time left appear once the render has run this long:
// earlier numbers jump about too much to read.
constexpr auto kMeasuredAfter = std::chrono::seconds(3);
// How often a waiting pass looks at the cancel flag between two rings.
constexpr auto kCancelLook = std::chrono::milliseconds(20);

// Wakes the waiting pass early when the movie completes, fails or a cancel is
// seen; the writing thread rings it.
class PassSignal {
public:
    void ring() {
        std::lock_guard lock(mutex_);
        rung_ = true;
        bell_.notify_all();
    }
    // Waits up to one second, until rung or until `cancel` is raised; forgets the ring.
    void waitOneSecond(const std::atomic<bool>& cancel) {
        const Clock::time_point end = Clock::now() + std::chrono::seconds(1);
        std::unique_lock lock(mutex_);
        while (!rung_ && !cancel && Clock::now() < end)
            bell_.wait_until(lock, std::min(end, Clock::now() + kCancelLook), [&] { return rung_; });
        rung_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable bell_;
    bool rung_ = false;
};

RenderResult setupFailed(const std::string& what) {
    logLine("Could not start movie pass: " + what);
    return RenderResult::failed(what);
}

RenderResult passFailed(const std::string& why) {
    logLine("Movie pass failed: " + why);
    return RenderResult::failed(why);
}

std::vector<std::string> stepNames(const EffectChain& chain) {
    std::vector<std::string> names;
    for (EffectCode code : chain.codes()) names.emplace_back(findEffectStep(code)->name);
    return names;
}

// The report of this cycle about what the pass runs (`subject`: its effect,
// or the chain's steps), with the speed of this pass and the time the whole
// render has left once the render has run long enough to measure them.
RenderProgress progressReport(float fraction, long long frames, const RenderProgress& subject,
                              Clock::time_point passStart, const PassEnvironment& environment) {
    RenderProgress report = subject;
    report.pass = environment.passNumber;
    report.passCount = environment.passCount;
    report.fraction = fraction;
    const Clock::time_point now = Clock::now();
    if (now - environment.renderStart < kMeasuredAfter || frames <= 0) return report;
    const double passSeconds = std::chrono::duration<double>(now - passStart).count();
    const double renderSeconds = std::chrono::duration<double>(now - environment.renderStart).count();
    const double done = (environment.passNumber - 1 + static_cast<double>(fraction)) / environment.passCount;
    if (passSeconds <= 0 || done <= 0) return report;
    report.framesPerSecond = static_cast<double>(frames) / passSeconds;
    report.secondsLeft = renderSeconds * (1.0 - done) / done;
    return report;
}

// How the pass ends in this cycle, if it does. An ending stops processing:
// no frame reaches the writer after it. Only a finished movie is completed;
// after a cancel or a failure its file is no result and is not flushed.
std::optional<RenderResult> passEnding(MovieReader& reader, MovieWriter& writer, float progress,
                                       float lastReported, const std::filesystem::path& output,
                                       const std::atomic<bool>& cancelFlag) {
    std::optional<RenderResult> ending;
    if (progress == 1.0f)
        ending = RenderResult::succeeded(output);
    else if (cancelFlag)
        ending = RenderResult::canceled();
    else if (const std::optional<Error> failure = reader.failure())
        ending = passFailed(failure->message);
    else if (progress == lastReported)
        ending = passFailed("no progress for a second");
    if (!ending) return ending;
    reader.stopProcessing();
    if (ending->outcome != RenderOutcome::Succeeded) return ending;
    // A file that cannot be completed is no result to hand on.
    if (const Status finished = writer.finishRecording(); !finished) return passFailed(finished.error());
    return ending;
}

RenderResult waitForPass(MovieReader& reader, MovieWriter& writer, PassSignal& signal,
                         const RenderProgress& subject, const std::filesystem::path& output,
                         const PassEnvironment& environment) {
    const Clock::time_point passStart = Clock::now();
    float lastReported = -1.0f;
    while (true) {
        const float progress = reader.progress();
        if (std::optional<RenderResult> ending =
                passEnding(reader, writer, progress, lastReported, output, environment.cancelFlag))
            return *ending;
        lastReported = progress;
        postProgress(environment.notifications,
                     progressReport(progress, reader.framesDelivered(), subject, passStart, environment));
        signal.waitOneSecond(environment.cancelFlag);
    }
}

// Starts `writer` on `reader`'s frames, describing the output as the render's original movie.
Status startWriting(MovieWriter& writer, const MovieReader& reader, const PassEnvironment& environment) {
    if (!environment.originalMovie) return writer.startRecording(reader);
    return writer.startRecording(reader, *environment.originalMovie);
}

// Whether the pass reads the render's original movie rather than an intermediate.
bool readsOriginal(const std::filesystem::path& inputPath, const PassEnvironment& environment) {
    return !environment.originalMovie || environment.originalMovie->path() == inputPath;
}

// Cuts the pass to the render's span: the pass reading the original movie
// selects its frames and sound; a later pass reads them cut already and
// only carries the original's chapters over to the span.
Status selectSpan(MovieReader& reader, MovieWriter& writer, const std::filesystem::path& inputPath,
                  const PassEnvironment& environment) {
    if (!environment.span) return {};
    if (!readsOriginal(inputPath, environment)) {
        writer.placeChaptersIn(*environment.span);
        return {};
    }
    writer.cutTo(*environment.span);
    return reader.selectSpan(*environment.span);
}

// Selects the frames the pass writes: the render's span, or its slice. A
// slice keeps the source's timestamps, also within a span: the join moves
// them to the span's clock and cuts the sound with them.
Status selectFrames(MovieReader& reader, MovieWriter& writer, const std::filesystem::path& inputPath,
                    const PassEnvironment& environment) {
    if (!environment.slice) return selectSpan(reader, writer, inputPath, environment);
    writer.recordAsSlice(*environment.slice);
    if (environment.span) return reader.selectSliceOfSpan(*environment.span, environment.slice->range);
    return reader.selectRange(environment.slice->range);
}

RenderResult runPass(std::shared_ptr<MovieSource> input, FrameEffect& effect, const RenderProgress& subject,
                     const std::filesystem::path& output, const PassEnvironment& environment) {
    const std::filesystem::path inputPath = input->path();
    const std::optional<VideoTrack> track = input->facts().firstVideoTrack();
    if (!track) return setupFailed(inputPath.string() + ": no video track");
    Result<std::unique_ptr<MovieReader>> opened = MovieReader::open(std::move(input));
    if (!opened) return setupFailed(inputPath.string() + ": " + opened.error());
    MovieReader& reader = **opened;
    const Orientation upright = uprightOrientation(*track);
    const FrameGeometry* geometry = environment.geometry;
    const FrameSize size = geometry ? geometry->outputSize({upright.width, upright.height})
                                    : FrameSize{upright.width, upright.height};
    MovieWriter writer(output, size.width, size.height, environment.role, environment.renderSettings);
    if (const Status selected = selectFrames(reader, writer, inputPath, environment); !selected)
        return setupFailed(inputPath.string() + ": " + selected.error());
    if (environment.rate) writer.constrainRate(*environment.rate);
    // The sound is shaped once, by the pass that reads it from the original.
    if (environment.sound && readsOriginal(inputPath, environment)) writer.shapeSound(*environment.sound);
    if (const Status started = startWriting(writer, reader, environment); !started)
        return setupFailed(output.string() + ": " + started.error());

    PassSignal signal;
    // A cancel stops the effect between row blocks; the frame it leaves
    // half-made goes only into this pass's file, which a cancel discards.
    const auto operation = [&effect, &environment, geometry, rotation = upright.rotation](const Image& frame,
                                                                                          double seconds) {
        const CancelScope scope(environment.cancelFlag);
        const auto shaped = [&](const Image& uprightFrame) {
            return geometry ? effect.apply(geometry->apply(uprightFrame), seconds)
                            : effect.apply(uprightFrame, seconds);
        };
        return rotation == InputRotation::None ? shaped(frame) : shaped(rotated(frame, rotation));
    };
    const auto onAdvance = [&] {
        if (reader.progress() == 1.0f || environment.cancelFlag || reader.failure()) signal.ring();
    };
    reader.startProcessing(operation, writer, onAdvance);
    return waitForPass(reader, writer, signal, subject, output, environment);
}

}  // namespace

std::string pathExtension(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    return extension.empty() ? extension : extension.substr(1);
}

std::filesystem::path VideoTools::outputPath(long long index, std::string_view extension,
                                             const std::filesystem::path& temporaryDirectory) {
    return temporaryDirectory / ("movie" + std::to_string(index) + "." + std::string(extension));
}

std::string VideoTools::passExtension(const std::filesystem::path& inputPath,
                                      const PassEnvironment& environment) {
    if (environment.passNumber < environment.passCount) return intermediateExtensionFor(inputPath);
    if (!environment.finalExtension.empty()) return environment.finalExtension;
    return renderedExtensionFor(inputPath, environment.renderSettings.codec);
}

RenderResult VideoTools::renderPass(long long index, std::shared_ptr<MovieSource> input, EffectCode code,
                                    FrameEffect& effect, const PassEnvironment& environment) {
    const std::filesystem::path output =
        outputPath(index, passExtension(input->path(), environment), environment.temporaryDirectory);
    RenderProgress subject;
    subject.effect = code;
    return runPass(std::move(input), effect, subject, output, environment);
}

RenderResult VideoTools::renderChain(std::shared_ptr<MovieSource> input, EffectChain& chain,
                                     const std::filesystem::path& output,
                                     const PassEnvironment& environment) {
    RenderProgress subject;
    subject.steps = stepNames(chain);
    return runPass(std::move(input), chain, subject, output, environment);
}

Result<std::shared_ptr<MovieSource>> VideoTools::openInput(const std::filesystem::path& path) {
    Result<std::shared_ptr<MovieSource>> source = MovieSource::open(path);
    if (source) return source;
    return Error{setupFailed(path.string() + ": " + source.error()).failure};
}

}  // namespace tintreel
