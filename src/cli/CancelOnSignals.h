#pragma once
// SIGINT, SIGTERM, SIGHUP and SIGPIPE as a request to cancel: while a
// CancelOnSignals lives, those signals raise its flag instead of ending the
// process, so the work under way can stop and remove what it has half
// written. A closed terminal or SSH session (SIGHUP) and a reader of our
// output that went away (SIGPIPE, as under `| head`) are a cancel like
// Ctrl-C: writing to a closed output then fails quietly instead of killing
// the process before it cleans up. The previous handlers come back when it
// goes.
//
// One at a time, on the main thread of the command line process; the flag
// may be read from any thread.

#include <signal.h>

#include <array>
#include <atomic>

namespace tintreel {

class CancelOnSignals {
public:
    static constexpr std::array<int, 4> kSignals{SIGINT, SIGTERM, SIGHUP, SIGPIPE};

    CancelOnSignals();
    ~CancelOnSignals();
    CancelOnSignals(const CancelOnSignals&) = delete;
    CancelOnSignals& operator=(const CancelOnSignals&) = delete;

    // Raised once a signal has arrived since construction.
    const std::atomic<bool>& flag() const;

private:
    std::array<struct sigaction, kSignals.size()> previous_{};
};

}  // namespace tintreel
