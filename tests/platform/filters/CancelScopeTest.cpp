// Cancel between row blocks: the flag of the calling thread's scope stops a
// kernel before its next block, reaches blocks run on worker threads and
// blocks split again inside them, and without a scope (or with the flag
// down) the kernels compute what they always did.
#include <tbb/task_arena.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/filters/BlurFilters.h"
#include "platform/filters/CancelScope.h"
#include "platform/filters/Parallel.h"
#include "platform/filters/StylizeFilters.h"
#include "support/TestImages.h"

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

// Process CPU time, so that other work on the machine does not count.
TEST(CancelScope, ASlowFilterAt4KStopsSoonAfterTheFlagIsRaised) {
    const Image input = test::noise(3840, 2160), small = test::noise(64, 48);
    KuwaharaFilter oil;
    oil.setRadius(6);
    const Image smallWithoutScope = oil.apply(small);
    double start = processSeconds();
    const Image full = oil.apply(input);
    const double normal = processSeconds() - start;

    std::atomic<bool> cancel{false};
    const CancelScope scope(cancel);
    EXPECT_EQ(oil.apply(small), smallWithoutScope);  // a flag that stays down changes nothing
    start = processSeconds();
    std::thread raiser([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        cancel = true;
    });
    const Image stopped = oil.apply(input);
    const double cancelled = processSeconds() - start;
    raiser.join();
    EXPECT_TRUE(cancel.load());
    EXPECT_LT(cancelled, normal / 2) << "normal " << normal << " s of CPU";
    EXPECT_NE(stopped, full);  // rows were left unwritten: the caller discards this picture
}

// The recursive blur (large sigmas) runs two passes, each in blocks: a flag
// raised before it starts skips both, and a flag that stays down changes nothing.
TEST(CancelScope, ARaisedFlagSkipsBothPassesOfTheRecursiveBlur) {
    const Image input = test::noise(1920, 1080);
    GaussianBlurFilter blur;
    blur.setBlurRadiusInPixels(30.0);
    double start = processSeconds();
    const Image full = blur.apply(input);
    const double normal = processSeconds() - start;

    std::atomic<bool> cancel{false};
    const CancelScope scope(cancel);
    EXPECT_EQ(blur.apply(input), full);
    cancel = true;
    start = processSeconds();
    const Image stopped = blur.apply(input);
    EXPECT_LT(processSeconds() - start, normal / 2) << "normal " << normal << " s of CPU";
    EXPECT_EQ(stopped.width(), input.width());
}

}  // namespace
}  // namespace tintreel
