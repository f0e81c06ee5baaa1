#pragma once
// PlaybackAudio: the sound of a movie for live playback, its first audio
// track decoded from any position and converted to the sample layout the
// sound device takes (rate, channels, 16-bit or float samples, interleaved).
//
// Times are seconds from the first video frame's timestamp, the clock the
// pictures keep, so the sound and the frames line up.
//
// Ownership: opens the movie file on its own (it reads apart from the
// pictures). Threads: one thread at a time, but for setShaping.

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "platform/media/SoundShaping.h"
#include "platform/system/Result.h"

namespace tintreel {

enum class SampleKind { Int16, Float };

struct SoundFormat {
    int sampleRate = 48000;
    int channels = 2;
    SampleKind kind = SampleKind::Int16;
    int bytesPerFrame() const { return channels * (kind == SampleKind::Int16 ? 2 : 4); }
};

// What the sound controls do to what plays: the controls, and the span their
// fades count in (its start and length in the pictures' seconds).
struct PlaybackShaping {
    SoundControls controls;
    double spanStart = 0.0;
    double spanSeconds = 0.0;
};

struct SoundChunk {
    std::vector<char> bytes;  // whole sample frames in the device's layout
    double seconds = 0.0;     // when its first sample sounds
};

class PlaybackAudio {
public:
    // None when the movie has no audio track; an error when it has one that
    // cannot be decoded.
    static Result<std::unique_ptr<PlaybackAudio>> open(const std::filesystem::path& path, SoundFormat format);
    ~PlaybackAudio();
    PlaybackAudio(const PlaybackAudio&) = delete;
    PlaybackAudio& operator=(const PlaybackAudio&) = delete;

    // The next chunk starts at `seconds` (silence before the sound's first sample).
    Status seek(double seconds);
    // The next chunk, shaped; none at the end of the track (or where it is
    // damaged: the pictures say so).
    std::optional<SoundChunk> next();
    // From the next chunk on; any thread, while another decodes.
    void setShaping(const PlaybackShaping& shaping);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    explicit PlaybackAudio(std::unique_ptr<Impl> impl);
};

}  // namespace tintreel
