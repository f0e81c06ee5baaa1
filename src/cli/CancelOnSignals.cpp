#include "cli/CancelOnSignals.h"

#include <signal.h>

namespace tintreel {
namespace {

// Set from the signal handler: a lock-free atomic store is safe there.
std::atomic<bool> cancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void requestCancel(int) {
    cancelRequested = true;
}

}  // namespace

CancelOnSignals::CancelOnSignals() {
    cancelRequested = false;
    struct sigaction cancel {};
    cancel.sa_handler = requestCancel;
    sigemptyset(&cancel.sa_mask);
    // No SA_RESTART: a call blocked in the kernel returns at the signal
    // instead of waiting on, so the run notices the cancel.
    cancel.sa_flags = 0;
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &cancel, &previous_[i]);
}

CancelOnSignals::~CancelOnSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
}

const std::atomic<bool>& CancelOnSignals::flag() const {
    return cancelRequested;
}

}  // namespace tintreel
