// Cancel between row blocks: the flag of the calling thread's scope stops a
// kernel before its next block, reaches blocks run on worker threads and
// blocks split again inside them, and without a scope (or with the flag
// down) the kernels compute what they always did.
#include <tbb/task_arena.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <optional>
#include <thread>

#include "support/TestImages.h"
#include "platform/filters/CancelScope.h"
#include "platform/filters/Parallel.h"
#include "platform/filters/StylizeFilters.h"

namespace tintreel {
namespace {

TEST(CancelScope, ARaisedFlagSkipsTheBlocksNotYetBegun) {
    // One thread runs the blocks one after another, so the count is exact.
    tbb::task_arena oneThread(1);
    std::atomic<bool> cancel{false};
    std::atomic<int> blocks{0}, rows{0};
    oneThread.execute([&] {
        const CancelScope scope(cancel);
        forEachRowBlock(800, 8, [&](int y0, int y1) {
            blocks.fetch_add(1);
            rows.fetch_add(y1 - y0);
            cancel = true;
        });
    });
    EXPECT_EQ(blocks.load(), 1);
    EXPECT_LT(rows.load(), 100);  // oneTBB may hand out a block of a few times the grain

    rows = 0;  // the same flag, raised, outside any scope: nothing stops
    oneThread.execute([&] { forEachRowBlock(800, 8, [&](int y0, int y1) { rows.fetch_add(y1 - y0); }); });
    EXPECT_EQ(rows.load(), 800);
    EXPECT_EQ(CancelScope::current(), nullptr);
}

TEST(CancelScope, EveryBlockRunsUnderTheFlagItsKernelStartedWith) {
    std::atomic<bool> outer{false}, inner{false};
    std::atomic<int> wrongFlag{0}, innerRows{0};
    {
        const CancelScope scope(outer);
        {
            const CancelScope nested(inner);
            EXPECT_EQ(CancelScope::current(), &inner);
        }
        EXPECT_EQ(CancelScope::current(), &outer);
        forEachRowBlock(400, 8, [&](int y0, int y1) {
            if (CancelScope::current() != &outer) wrongFlag.fetch_add(1);
            // Rows split again inside a block, on whichever thread runs it.
            forEachRowBlock(y1 - y0, 1, [&](int r0, int r1) {
                if (CancelScope::current() != &outer) wrongFlag.fetch_add(1);
                innerRows.fetch_add(r1 - r0);
            });
        });
    }
    EXPECT_EQ(wrongFlag.load(), 0);
    EXPECT_EQ(innerRows.load(), 400);
    EXPECT_EQ(CancelScope::current(), nullptr);
}

double processSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Process CPU time of one Kuwahara pass at 4K, with the flag raised by
// another thread after `delay` when given one.
double kuwaharaSeconds(const Image& input, std::atomic<bool>* cancel, std::chrono::milliseconds delay,
                       Image& out) {
    KuwaharaFilter oil;
    oil.setRadius(6);
    std::thread raiser;
    std::optional<CancelScope> scope;
    const double start = processSeconds();
    if (cancel != nullptr) {
        scope.emplace(*cancel);
        raiser = std::thread([cancel, delay] {
            std::this_thread::sleep_for(delay);
            *cancel = true;
        });
    }
    out = oil.apply(input);
    const double spent = processSeconds() - start;
    if (raiser.joinable()) raiser.join();
    return spent;
}

TEST(CancelScope, ASlowFilterAt4KStopsSoonAfterTheFlagIsRaised) {
    const Image input = test::noise(3840, 2160);
    Image full, untouched, stopped;
    const double normal = kuwaharaSeconds(input, nullptr, {}, full);

    std::atomic<bool> lowered{false};
    {
        const CancelScope scope(lowered);
        untouched = KuwaharaFilter().apply(input);
    }
    KuwaharaFilter defaultOil;
    EXPECT_EQ(untouched, defaultOil.apply(input));  // a flag that stays down changes nothing

    std::atomic<bool> cancel{false};
    const double cancelled = kuwaharaSeconds(input, &cancel, std::chrono::milliseconds(5), stopped);
    EXPECT_TRUE(cancel.load());
    EXPECT_LT(cancelled, normal / 2) << "normal " << normal << " s of CPU";
    EXPECT_NE(stopped, full);  // rows were left unwritten: the caller discards this picture
}

}  // namespace
}  // namespace tintreel
