#include "render/RenderSlots.h"

#include <chrono>

namespace tintreel {

RenderSlots::Slot::~Slot() {
    if (owner_) owner_->release();
}

RenderSlots& RenderSlots::shared() {
    static RenderSlots slots;
    return slots;
}

void RenderSlots::setLimit(int limit) {
    {
        const std::lock_guard lock(mutex_);
        limit_ = limit < 1 ? 1 : limit;
    }
    changed_.notify_all();
}

int RenderSlots::limit() const {
    const std::lock_guard lock(mutex_);
    return limit_;
}

int RenderSlots::inUse() const {
    const std::lock_guard lock(mutex_);
    return inUse_;
}

std::optional<RenderSlots::Slot> RenderSlots::tryAcquire() {
    const std::lock_guard lock(mutex_);
    if (!mayTake(nextTicket_)) return std::nullopt;
    ++nextTicket_, ++inUse_;
    advanceTurn();
    return Slot(this);
}

std::optional<RenderSlots::Slot> RenderSlots::acquire(const std::atomic<bool>& cancel) {
    std::unique_lock lock(mutex_);
    const std::uint64_t ticket = nextTicket_++;
    while (!mayTake(ticket)) {
        if (cancel) {
            if (ticket == nextServed_)
                advanceTurn();
            else
                givenUp_.insert(ticket);
            lock.unlock();
            changed_.notify_all();
            return std::nullopt;
        }
        changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
    ++inUse_;
    advanceTurn();
    lock.unlock();
    changed_.notify_all();
    return Slot(this);
}

void RenderSlots::advanceTurn() {
    ++nextServed_;
    while (givenUp_.erase(nextServed_) > 0) ++nextServed_;
}

void RenderSlots::release() {
    {
        const std::lock_guard lock(mutex_);
        --inUse_;
    }
    changed_.notify_all();
}

}  // namespace tintreel
