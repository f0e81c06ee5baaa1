#pragma once
// The editor's session file: what the window holds that a crash would lose
// (the video, the browse position, the settings record of the controls, the
// watermark picture), written a moment after each change so that the next
// start can offer it back.
//
// The format is a small versioned text. Its first line is the header
// "Tintreel session 1"; then come entries, each a line "NAME LENGTH" (LENGTH
// in decimal bytes) followed by exactly LENGTH bytes of value and a line
// feed, so a value may hold any byte, line breaks included. Entries are only
// ever added: a reader skips names it does not know (a later release wrote
// them) and gives a missing optional entry its default. The header's number
// changes only for a change an older reader could not skip; such a file,
// like any damaged or foreign one, is refused with one sentence.
//
// SaveSchedule is the coalescing rule of the writes, with time passed in.
//
// Pure functions and plain values; any thread.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/filters/Resample.h"
#include "platform/system/Result.h"

namespace tintreel {

struct SessionState {
    std::string videoPath;       // absolute; a session is offered back only with one
    double browseSeconds = 0.0;  // the browse position
    std::string settingsRecord;  // as the history records it
    std::string picturePath;     // the watermark picture, absolute; empty for none
    // The video's crop in pixels of its upright picture, written "W:H:X:Y";
    // a value that does not read so is taken for no crop.
    std::optional<PixelRect> crop = std::nullopt;
    // The in and out points of the video's span, in seconds; none: its start, its end.
    std::optional<double> inPoint = std::nullopt;
    std::optional<double> outPoint = std::nullopt;
    bool operator==(const SessionState&) const = default;
};

// A session file never comes near this size; a larger file is not one.
inline constexpr std::size_t kSessionFileLimit = 1 << 20;

std::string renderSessionFile(const SessionState& session);

// The session in `text`, or why it is not a session file of ours.
Result<SessionState> parseSessionFile(std::string_view text);

// When to write: a change is written as soon as the last write is at least
// `minimumGap` old, else once it is; changes that come while a write is
// waiting join it, so a slider drag costs at most one write per gap.
class SaveSchedule {
public:
    using Clock = std::chrono::steady_clock;
    explicit SaveSchedule(Clock::duration minimumGap = std::chrono::seconds(1)) : minimumGap_(minimumGap) {}

    // A change at `now`: how long from now the write should run, or nothing
    // when a write is already waiting (it will carry this change too).
    std::optional<Clock::duration> changed(Clock::time_point now);
    // The waiting write ran at `now`.
    void wrote(Clock::time_point now);
    bool waiting() const { return waiting_; }

private:
    Clock::duration minimumGap_;
    std::optional<Clock::time_point> lastWrite_;
    bool waiting_ = false;
};

}  // namespace tintreel
