#include "cli/CancelSignals.h"

#include <csignal>

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
    previousInterrupt_ = std::signal(SIGINT, requestCancel);
    previousTerminate_ = std::signal(SIGTERM, requestCancel);
}

CancelOnSignals::~CancelOnSignals() {
    std::signal(SIGINT, previousInterrupt_);
    std::signal(SIGTERM, previousTerminate_);
}

const std::atomic<bool>& CancelOnSignals::flag() const {
    return cancelRequested;
}

}  // namespace tintreel
