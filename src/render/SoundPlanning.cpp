#include "render/SoundPlanning.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "imaging/SoundSettings.h"
#include "platform/system/Log.h"

namespace tintreel {
namespace {

bool hasSound(const RenderRequest& request, const MovieSource& source) {
    return !request.slice && source.facts().audioTrackCount() > 0;
}

// `value` written by a printf `format` that takes one double.
std::string written(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string seconds(double value) {
    return written("%.2f s", value);
}

// Each track's gain to the target; a track the list does not reach keeps its level.
std::vector<NormalisingGain> gainsFor(const RenderRequest& request) {
    std::vector<NormalisingGain> gains;
    const std::optional<LoudnessTarget> target = loudnessTargetOf(request.settings);
    if (!target || !request.loudness) return gains;
    for (const TrackLoudness& track : *request.loudness) gains.push_back(normalisingGain(track, *target));
    return gains;
}

void logFade(const char* which, double asked, double length) {
    if (asked > length / 2.0)
        logLine(std::string("Audio ") + which + " of " + seconds(asked) +
                " is longer than half the movie: shortened to " + seconds(length / 2.0));
}

void logGains(const RenderRequest& request) {
    const std::optional<LoudnessTarget> target = loudnessTargetOf(request.settings);
    if (!target || !request.loudness) return;
    for (const TrackLoudness& track : *request.loudness) {
        const std::string name = "Audio track " + std::to_string(track.track + 1);
        if (!track.measurable()) {
            logLine(name + " has no measurable loudness: its level is kept");
            continue;
        }
        const NormalisingGain gain = normalisingGain(track, *target);
        logLine(name + " measures " + written("%.1f LUFS", track.integratedLufs) + ", true peak " +
                written("%.1f dBTP", track.truePeakDbtp) + ": gain " + written("%+.1f dB", gain.gainDb));
        if (gain.shortOfTargetDb > 0.05)
            logLine(name + " stays " + written("%.1f dB", gain.shortOfTargetDb) +
                    " under the target: its true peak reaches the " + written("%.1f dBTP", target->ceilingDbtp) +
                    " ceiling");
    }
}

}  // namespace

bool needsLoudness(const RenderRequest& request, const MovieSource& source) {
    return !request.loudness && loudnessTargetOf(request.settings) && hasSound(request, source);
}

Result<std::vector<TrackLoudness>> measureSpanLoudness(const RenderRequest& request, const MovieSource& source,
                                                       const std::atomic<bool>& cancel) {
    MeasureSpan span;
    if (request.span) span = {request.span->in, request.span->out};
    return measureLoudness(source.path(), span, MeasureControl{&cancel, {}});
}

std::optional<SoundPlan> soundPlanFor(const RenderRequest& request, const MovieSource& source) {
    if (!changesSound(request.settings) || !hasSound(request, source)) return std::nullopt;
    SoundPlan plan;
    plan.controls = soundControlsOf(request.settings);
    plan.lengthSeconds = outputSeconds(request, source);
    for (const NormalisingGain& gain : gainsFor(request)) plan.trackGainsDb.push_back(gain.gainDb);
    return plan;
}

void logSoundPlan(const RenderRequest& request, const MovieSource& source) {
    if (!changesSound(request.settings)) return;
    if (!hasSound(request, source)) {
        if (!request.slice) logLine("The movie has no sound: the sound settings are not used");
        return;
    }
    const SoundControls controls = soundControlsOf(request.settings);
    const double length = outputSeconds(request, source);
    logFade("fade in", controls.fadeInSeconds, length);
    logFade("fade out", controls.fadeOutSeconds, length);
    logGains(request);
}

}  // namespace tintreel
