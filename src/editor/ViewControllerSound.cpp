// ViewController: the sound controls. A loaded movie's loudness is measured
// in the background as soon as it loads (only its sound is decoded), with its
// progress under the controls, and kept in the user's cache folder for as
// long as the file is unchanged. Playback plays the controls, the
// normalising gain included once it is known; a render of the whole movie
// takes the measurement rather than making its own. A movie without sound
// has its sound controls switched off, with a line saying why.
#include <QLabel>
#include <QStandardPaths>

#include "editor/ControlPanel.h"
#include "editor/ViewController.h"
#include "imaging/SoundSettings.h"
#include "platform/media/PlaybackAudio.h"
#include "platform/system/FileKeyedCache.h"
#include "platform/system/QtText.h"
#include "preview/BackgroundTask.h"

namespace tintreel {
namespace {

// What a measurement of a whole movie is stored under.
constexpr std::string_view kWholeMovieLoudness = "loudness of the whole movie";

FileKeyedCache loudnessCache() {
    return FileKeyedCache(QStandardPaths::writableLocation(QStandardPaths::CacheLocation).toStdString() +
                          "/loudness");
}

QString describeLoudness(const std::vector<TrackLoudness>& tracks) {
    if (tracks.empty() || !tracks.front().measurable())
        return ViewController::tr("The sound is too quiet to measure: normalising keeps its level.");
    const TrackLoudness& first = tracks.front();
    QString line = ViewController::tr("Loudness %1 LUFS, true peak %2 dBTP")
                       .arg(first.integratedLufs, 0, 'f', 1)
                       .arg(first.truePeakDbtp, 0, 'f', 1);
    if (tracks.size() > 1) line += ViewController::tr(" (first of %1 tracks)").arg(tracks.size());
    return line + QStringLiteral(".");
}

}  // namespace

void ViewController::forgetSound() {
    loudnessCancel_->store(true);
    loudnessCancel_ = std::make_shared<std::atomic<bool>>(false);
    ++loudnessGeneration_;
    loudness_.reset();
    outlets_.get<QWidget>(kSoundGroupName)->setEnabled(true);
    showSoundNote({});
}

void ViewController::startSoundForVideo() {
    forgetSound();
    const bool hasSound = videoFacts_.audioTrackCount() > 0;
    outlets_.get<QWidget>(kSoundGroupName)->setEnabled(hasSound);
    if (!hasSound) return showSoundNote(tr("This video has no sound, so there is nothing to set here."));
    const std::filesystem::path movie = videoPath_.toStdString();
    if (const std::optional<std::string> kept = loudnessCache().find(movie, kWholeMovieLoudness))
        if (std::optional<std::vector<TrackLoudness>> tracks = parseLoudness(*kept))
            return takeLoudness(std::move(*tracks));
    measureLoudnessInBackground(movie);
}

void ViewController::measureLoudnessInBackground(const std::filesystem::path& movie) {
    showSoundNote(tr("Measuring the loudness..."));
    const int generation = loudnessGeneration_;
    const std::shared_ptr<std::atomic<bool>> cancel = loudnessCancel_;
    auto progress = [this, generation](double fraction) {
        postToThreadOf(this, [this, generation, fraction] {
            if (generation == loudnessGeneration_ && !loudness_)
                showSoundNote(tr("Measuring the loudness... %1%").arg(qRound(fraction * 100)));
        });
    };
    runInBackground(
        pool_, this,
        [movie, cancel, progress] {
            Result<std::vector<TrackLoudness>> measured =
                measureLoudness(movie, {}, MeasureControl{cancel.get(), progress});
            if (measured) (void)loudnessCache().store(movie, kWholeMovieLoudness, renderLoudness(*measured));
            return measured;
        },
        [this, generation](Result<std::vector<TrackLoudness>> measured) {
            if (generation != loudnessGeneration_) return;
            if (!measured)
                return showSoundNote(tr("The loudness could not be measured: %1").arg(qstring(measured.error())));
            takeLoudness(std::move(*measured));
        });
}

void ViewController::takeLoudness(std::vector<TrackLoudness> tracks) {
    showSoundNote(describeLoudness(tracks));
    loudness_ = std::move(tracks);
    handPlaybackTheLook();
}

void ViewController::showSoundNote(const QString& text) {
    outlets_.get<QLabel>(kSoundNoteName)->setText(text);
}

// What playback does to the first track's sound: the controls, with the
// normalising gain once measured; fades count over the in and out points.
PlaybackShaping ViewController::playbackShaping() const {
    const EffectSettings settings = currentSettings();
    PlaybackShaping shaping;
    shaping.controls = soundControlsOf(settings);
    if (const std::optional<LoudnessTarget> target = loudnessTargetOf(settings); target && loudness_ &&
                                                                                 !loudness_->empty())
        shaping.controls.loudnessGainDb = normalisingGain(loudness_->front(), *target).gainDb;
    shaping.spanStart = inPoint_.value_or(0.0);
    shaping.spanSeconds = outPoint_.value_or(videoFacts_.videoSeconds()) - shaping.spanStart;
    return shaping;
}

}  // namespace tintreel
