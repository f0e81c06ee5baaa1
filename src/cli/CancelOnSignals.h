#pragma once
// SIGINT and SIGTERM as a request to cancel: while a CancelOnSignals lives,
// those signals raise its flag instead of ending the process, so the work
// under way can stop and remove what it has half written. The previous
// handlers come back when it goes.
//
// One at a time, on the main thread of the command line process; the flag
// may be read from any thread.

#include <atomic>

namespace tintreel {

class CancelOnSignals {
public:
    CancelOnSignals();
    ~CancelOnSignals();
    CancelOnSignals(const CancelOnSignals&) = delete;
    CancelOnSignals& operator=(const CancelOnSignals&) = delete;

    // Raised once a signal has arrived since construction.
    const std::atomic<bool>& flag() const;

private:
    void (*previousInterrupt_)(int);
    void (*previousTerminate_)(int);
};

}  // namespace tintreel
