// The process's render limit: never more holders than the limit, slots in
// the order they were asked for, and a cancelled waiter that leaves at once
// without holding up those behind it.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "render/RenderSlots.h"

namespace tintreel {
namespace {

using namespace std::chrono_literals;

TEST(RenderSlots, TheLimitHoldsAndWaitersAreServedInTurn) {
    RenderSlots slots(2);
    std::optional<RenderSlots::Slot> first = slots.tryAcquire();
    std::optional<RenderSlots::Slot> second = slots.tryAcquire();
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(slots.tryAcquire()) << "a third holder over a limit of two";
    EXPECT_EQ(slots.inUse(), 2);

    // Three waiters, asking in a known order; each records when it got in.
    std::atomic<bool> never{false};
    std::mutex mutex;
    std::vector<int> order;
    std::vector<std::jthread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&, i] {
            std::optional<RenderSlots::Slot> slot = slots.acquire(never);
            ASSERT_TRUE(slot);
            {
                std::lock_guard lock(mutex);
                order.push_back(i);
            }
            std::this_thread::sleep_for(20ms);
        });
        std::this_thread::sleep_for(50ms);  // the next waiter asks after this one
    }
    EXPECT_FALSE(slots.tryAcquire()) << "a newcomer may not pass the waiters";
    // With one slot still held they get in one after another.
    first.reset();
    waiters.clear();
    second.reset();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(slots.inUse(), 0);
}

TEST(RenderSlots, ACancelledWaiterLeavesAtOnceAndDoesNotBlockThoseBehind) {
    RenderSlots slots(1);
    std::optional<RenderSlots::Slot> held = slots.tryAcquire();
    std::atomic<bool> cancelFront{false}, cancelMiddle{false}, never{false};
    auto front = std::async(std::launch::async, [&] { return slots.acquire(cancelFront).has_value(); });
    std::this_thread::sleep_for(50ms);
    auto middle = std::async(std::launch::async, [&] { return slots.acquire(cancelMiddle).has_value(); });
    std::this_thread::sleep_for(50ms);
    auto back = std::async(std::launch::async, [&] { return slots.acquire(never).has_value(); });
    std::this_thread::sleep_for(50ms);

    // The middle one gives up while the front one is still waiting: it
    // leaves within a tenth of a second or so, not when its turn comes.
    cancelMiddle = true;
    ASSERT_EQ(middle.wait_for(1s), std::future_status::ready);
    EXPECT_FALSE(middle.get());
    cancelFront = true;
    ASSERT_EQ(front.wait_for(1s), std::future_status::ready);
    EXPECT_FALSE(front.get());

    held.reset();
    ASSERT_EQ(back.wait_for(2s), std::future_status::ready) << "the turns given up were passed over";
    EXPECT_TRUE(back.get());
    EXPECT_EQ(slots.inUse(), 0);
}

TEST(RenderSlots, RaisingTheLimitLetsAWaiterIn) {
    RenderSlots slots(1);
    std::optional<RenderSlots::Slot> held = slots.tryAcquire();
    std::atomic<bool> never{false};
    auto waiter = std::async(std::launch::async, [&] { return slots.acquire(never).has_value(); });
    EXPECT_EQ(waiter.wait_for(200ms), std::future_status::timeout);
    slots.setLimit(2);
    ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
    slots.setLimit(0);
    EXPECT_EQ(slots.limit(), 1) << "the limit is at least one";
}

}  // namespace
}  // namespace tintreel
