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

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tintreel {

// Prints `line` followed by a line break, flushed at once.
void logLine(std::string_view line);

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
class ScopedThreadLogSink {
public:
    explicit ScopedThreadLogSink(std::function<void(std::string_view)> sink);
    ~ScopedThreadLogSink();
    ScopedThreadLogSink(const ScopedThreadLogSink&) = delete;
    ScopedThreadLogSink& operator=(const ScopedThreadLogSink&) = delete;

private:
    friend void logLine(std::string_view line);
    std::function<void(std::string_view)> sink_;
    ScopedThreadLogSink* outer_;
};

}  // namespace tintreel
