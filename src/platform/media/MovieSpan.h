#pragma once
// MovieSpan: the part of one movie a render covers, [in, out), in seconds
// from the timestamp of the video's first frame (the clock of FrameTimes and
// of a render). The output's first frame is the one shown at `in` (the last
// frame at or before it), its last the last frame before `out`; its clock,
// its sound, subtitles, chapters and timed watermarks start at `in`.
//
// Times are written as plain seconds ("12.5"), "m:ss.ff" or "h:mm:ss.ff"
// (minutes and seconds below 60 after the first field; the fraction may have
// any number of digits). Plain values and pure functions: any thread.

#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace tintreel {

struct MovieSpan {
    double in = 0.0;
    double out = std::numeric_limits<double>::infinity();

    // The whole movie: nothing to cut.
    bool isWhole() const { return in <= 0.0 && out == std::numeric_limits<double>::infinity(); }
    double length() const { return out - in; }
    bool operator==(const MovieSpan&) const = default;
};

// A time in seconds as written above; nothing for anything else (negative,
// empty, stray characters, a minute or second field of 60 or more).
std::optional<double> parseTimePoint(std::string_view text);
// "h:mm:ss.ff" (hundredths, rounded), or "m:ss.ff" below an hour; the inverse
// of parseTimePoint up to the hundredth.
std::string formatTimePoint(double seconds);

// `wanted` fitted to a movie whose video lasts `movieSeconds`: an out point
// past the end becomes the end. Fails, saying why, when in is not before
// out or starts at or after the end of the movie.
std::optional<std::string> spanProblem(const MovieSpan& wanted, double movieSeconds);
MovieSpan clampedSpan(const MovieSpan& wanted, double movieSeconds);

}  // namespace tintreel
