#pragma once
// PlaybackSound: the clock playback keeps when the movie has sound. Its
// first audio track is decoded on a thread of its own, converted to the
// device's format and played through a QAudioSink; the clock is the sound
// the device has taken less what it still holds, so a frame shows when its
// sound is heard.
//
// makePlaybackClock picks the clock for a movie: the sound's, or the wall
// clock for a movie without sound, without a sound device, or whose sound
// cannot be decoded (one log line says which).
//
// Ownership: owns its thread and the device while it lives; destroying it
// stops the sound, frees the device and joins the thread. Threads: the GUI
// thread (the sink's thread) calls every member.

#include <filesystem>
#include <memory>

#include "preview/PlaybackClock.h"

namespace tintreel {

std::unique_ptr<PlaybackClock> makePlaybackClock(const std::filesystem::path& movie, int audioTracks);

}  // namespace tintreel
