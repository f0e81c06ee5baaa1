#pragma once
// One job: one input rendered with one look into one output. This is the
// body every render of a file to a file runs: the command line's single
// INPUT, and each job of the batch queue, which the Batch Render window and
// the command line's batches both use. The rule for an output that is already
// there lives here and nowhere else.
//
// A job first settles its output (skipped, refused, or to be replaced under
// its rule), makes the output's folder, checks the input, then removes the
// partial files of that output which killed runs of this machine left
// (AtomicFile.h) and renders in a private temporary directory of its own.
// Unless the rule says Replace, the finished movie never replaces a file that
// appeared at the output while it rendered: that file stays and the job fails
// (OutputTaken). A cancel that arrives after the movie is in place still
// leaves nothing there. How the job ended comes back as a value; each front
// end words it.
//
// Threads: runRenderJob blocks its thread for the whole job; the watcher is
// called on that thread only.

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/EffectSettings.h"
#include "platform/filters/Image.h"
#include "platform/filters/Resample.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MovieSlice.h"
#include "platform/media/MovieSource.h"
#include "platform/media/MovieSpan.h"
#include "platform/media/RenderSettings.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/NotificationCenter.h"
#include "render/BatchJobs.h"
#include "render/PassMode.h"
#include "settings/ProgressText.h"

namespace tintreel {

// What a job applies to its input.
struct BatchLook {
    EffectSettings settings;
    Image logo;
    RenderSettings renderSettings;
    PassMode passes = PassMode::One;
    // The crop every input takes, in pixels of its upright picture; a job
    // whose frame it does not fit fails (BadInput).
    std::optional<PixelRect> crop = std::nullopt;
    // Only this span of each input (the whole movie by default); an out
    // point past a movie's end means its end.
    MovieSpan span = {};
    bool cutAtKeyFrames = false;  // see RenderRequest::cutAtKeyFrames
};

// What a job does when its output is already there.
enum class ExistingOutput { Skip, Replace, Fail };

// What the finished movie does with a file that appeared at the output meanwhile.
IfTaken ifTakenUnder(ExistingOutput rule);

// Why a job ended as it did, beyond its state.
enum class JobProblem {
    None,
    OutputExists,          // and the rule says fail
    OutputFolder,          // detail: why the folder cannot be made
    NotAMovie,             // the input's name is not a movie's
    BadInput,              // detail: why the input cannot be rendered
    NoTemporaryDirectory,  //
    RenderFailed,          // detail: the render's words, or the log's last line
    NotWritten,            // detail: why the finished movie could not be put at the output
    OutputTaken,           // a file appeared at the output while the job rendered, and was kept
    OutOfMemory,           // the render ran out of memory
};

struct JobEnd {
    JobState state = JobState::Done;
    JobProblem problem = JobProblem::None;
    std::string detail = {};
};

struct RenderJob {
    PlannedJob files;
    ExistingOutput existing = ExistingOutput::Fail;
    std::optional<SliceNumber> segment = std::nullopt;  // only this slice of the input, without audio
};

// What a job tells whoever follows it, in order, on the job's thread.
class JobWatcher {
public:
    virtual ~JobWatcher() = default;
    // Once the checks have passed, right before the render: false when the
    // job must not start after all (cancelled while it waited for its turn).
    virtual bool mayStart() { return true; }
    // Each progress report the render posts.
    virtual void progress(const RenderProgress&) {}
    // The render has stopped posting progress.
    virtual void progressEnded() {}
    // A line of the engine's log logged on the job's thread.
    virtual void logged(std::string_view) {}
};

// The largest frame side a render takes: each frame in flight is held as
// RGBA, several at once.
inline constexpr int kMaxMovieSide = 8192;
Status checkFrameSize(const VideoTrack& track);
// Fails, saying the sizes, when `crop` does not fit the track's upright frame.
Status checkCropFits(const VideoTrack& track, const std::optional<PixelRect>& crop);

// Whether `movie`, or its `span` (fitted to it), can be cut into slice.count
// slices that each hold a frame.
Status checkSliceCount(const MediaAsset& movie, const SliceNumber& slice, const MovieSpan& span = {});

// The input opened once for a whole job (its checks read the facts, the
// render reads the file), or how the job ends without rendering (NotAMovie
// or BadInput).
Result<std::shared_ptr<MovieSource>, JobEnd> openJobInput(const std::filesystem::path& input);

JobEnd runRenderJob(const RenderJob& job, const BatchLook& look, const std::atomic<bool>& cancel,
                    JobWatcher& watcher);

// The few words the Batch Render window shows for how a job ended.
std::string endMessage(const JobEnd& end, const PlannedJob& files);

}  // namespace tintreel
