#pragma once
// Ctrl-C and SIGTERM as a cancel: while a CancelOnSignals lives, either
// signal sets one process-wide flag that every render of the run watches
// (the single render, or each job of a batch, which also starts no new job
// once it is set).
//
// Made and destroyed on the main thread, once per run; the flag may be read
// from any thread.

#include <atomic>

namespace tintreel {

class CancelOnSignals {
public:
    // Clears the flag and installs the handlers; the destructor restores the old ones.
    CancelOnSignals();
    ~CancelOnSignals();
    CancelOnSignals(const CancelOnSignals&) = delete;
    CancelOnSignals& operator=(const CancelOnSignals&) = delete;

    const std::atomic<bool>& flag() const;

private:
    void (*previousInterrupt_)(int);
    void (*previousTerminate_)(int);
};

}  // namespace tintreel
