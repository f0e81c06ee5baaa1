#pragma once
// Log: the one way library code prints a line for a person to read (why a
// pass could not start, a file that could not be removed, a failed save).
// Lines go to a sink, standard output unless a ScopedLogCapture has taken
// them, so tests read what was printed without touching the process's
// standard output. The command line's own user interface on standard error
// is not a log and does not come here.
//
// Threads: logLine may be called from any thread; each line reaches the sink
// whole, one at a time. A ScopedLogCapture is made and destroyed on one
// thread; captures nest, the innermost one receiving the lines. A
// ScopedThreadLogSink takes only the lines logged on its own thread (a job
// of a batch naming its lines), ahead of any capture.

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tintreel {

using LogSink = std::function<void(std::string_view)>;

// Prints `line` followed by a line break, flushed at once.
void logLine(std::string_view line);

// A path as the printed lines name it: in double quotes, quotes and
// backslashes in it escaped, and its control characters as printableText
// shows them.
std::string quotedPath(const std::filesystem::path& path);

// `text` safe to print on a terminal: control characters (a line break, an
// escape that would recolour or clear the screen) spelt out as \n, \r, \t
// or \xHH; everything else, UTF-8 included, as it is.
std::string printableText(std::string_view text);

// Collects every logged line for its lifetime instead of printing it.
class ScopedLogCapture {
public:
    ScopedLogCapture();
    ~ScopedLogCapture();
    ScopedLogCapture(const ScopedLogCapture&) = delete;
    ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

    std::vector<std::string> lines() const;
    // How many captured lines start with `prefix`.
    int countStartingWith(std::string_view prefix) const;

private:
    friend void logLine(std::string_view line);
    void append(std::string_view line);

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    ScopedLogCapture* outer_;
};

// Hands every line logged on the constructing thread to `sink` for its
// lifetime; made and destroyed on that thread, and nesting like captures.
// A thread started for the same work takes the starter's sink along:
// `ScopedThreadLogSink inherited(starterSink)` with the starter's current()
// copies its sink, so only what that sink writes to must outlive the thread.
class ScopedThreadLogSink {
public:
    explicit ScopedThreadLogSink(LogSink sink);
    explicit ScopedThreadLogSink(const ScopedThreadLogSink* starter);
    // The calling thread's sink; nothing when it has none.
    static const ScopedThreadLogSink* current();
    // A copy of the sink, for a library's own worker threads, whose lines
    // name the object they work for rather than come from a thread of ours.
    const LogSink& sink() const { return sink_; }
    ~ScopedThreadLogSink();
    ScopedThreadLogSink(const ScopedThreadLogSink&) = delete;
    ScopedThreadLogSink& operator=(const ScopedThreadLogSink&) = delete;

private:
    friend void logLine(std::string_view line);
    LogSink sink_;
    ScopedThreadLogSink* outer_;
};

}  // namespace tintreel
