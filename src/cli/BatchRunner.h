#pragma once
// Runs the jobs of a plan of many inputs on the batch queue the Batch Render
// window uses (render/BatchQueue.h), N at once, in one process: one look,
// one logo picture for all of them, and the engine's pool of filter threads
// shared rather than oversubscribed. Each job's reports become its lines
// (JobOutput), human or JSON.
//
// A job whose output exists is skipped (--skip-existing), replaced
// (--overwrite) or fails alone; so does a job whose output appeared while it
// rendered (it is never replaced without --overwrite); a job that fails (an
// unreadable, truncated or video-less INPUT) fails alone and the others go
// on. SIGINT or SIGTERM cancels the running jobs, which leave nothing under
// their final names, and starts no new one. At the end one summary line:
// done, skipped, failed, cancelled, and the failed inputs.
//
// Runs on the main thread, which waits for the queue.

#include "cli/BatchPlan.h"
#include "cli/CliOptions.h"
#include "imaging/EffectSettings.h"
#include "platform/filters/Image.h"

namespace tintreel {

// kExitSuccess when every job was done or skipped, kExitCancelled when any
// was cancelled (or never started because of the cancel), else
// kExitRenderFailed when any failed.
int runBatch(const CliOptions& options, const BatchPlan& plan, const EffectSettings& settings,
             const Image& logo);

}  // namespace tintreel
