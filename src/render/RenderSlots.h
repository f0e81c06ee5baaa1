#pragma once
// The process's limit on whole-movie renders at once. The batch window sets
// it to its number of jobs; each batch job and each render from the editor
// holds a slot while it runs, so a render started from the editor during a
// batch waits for a slot instead of oversubscribing the machine. Slots are
// granted first come, first served.
//
// Threads: any. A waiter wakes within a tenth of a second of a cancel.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

namespace tintreel {

class RenderSlots {
public:
    // Holds one slot until destroyed.
    class Slot {
    public:
        Slot(Slot&& other) noexcept : owner_(std::exchange(other.owner_, nullptr)) {}
        Slot& operator=(Slot&& other) noexcept {
            if (this != &other) {
                if (owner_) owner_->release();
                owner_ = std::exchange(other.owner_, nullptr);
            }
            return *this;
        }
        Slot(const Slot&) = delete;
        ~Slot();

    private:
        friend class RenderSlots;
        explicit Slot(RenderSlots* owner) : owner_(owner) {}
        RenderSlots* owner_;
    };

    explicit RenderSlots(int limit = 1) : limit_(limit < 1 ? 1 : limit) {}

    // The one limit of this process.
    static RenderSlots& shared();

    // At least 1. Lowering it lets running renders finish; raising it wakes waiters.
    void setLimit(int limit);
    int limit() const;
    int inUse() const;

    // A slot at once when one is free and nobody waits for one, else nothing.
    std::optional<Slot> tryAcquire();
    // A slot when it is this caller's turn; nothing when `cancel` was set first.
    std::optional<Slot> acquire(const std::atomic<bool>& cancel);

private:
    void release();
    // The next ticket's turn, passing over those given up.
    void advanceTurn();
    bool mayTake(std::uint64_t ticket) const { return ticket == nextServed_ && inUse_ < limit_; }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int limit_;
    int inUse_ = 0;
    // Tickets give the slots out in the order they were asked for.
    std::uint64_t nextTicket_ = 0;
    std::uint64_t nextServed_ = 0;
    std::set<std::uint64_t> givenUp_;  // cancelled while others were ahead of them
};

}  // namespace tintreel
