// The logging seam: captured lines, nesting, whole lines from many threads.
#include <gtest/gtest.h>

#include <thread>

#include "platform/system/Log.h"

namespace tintreel {
namespace {

TEST(Log, CapturesNestAndRestoreTheOuterSink) {
    testing::internal::CaptureStdout();
    {
        const ScopedLogCapture outer;
        logLine("first");
        {
            const ScopedLogCapture inner;
            logLine("Copy failed: inner");
            EXPECT_EQ(inner.lines(), std::vector<std::string>{"Copy failed: inner"});
            EXPECT_EQ(inner.countStartingWith("Copy failed: "), 1);
        }
        logLine("second");
        EXPECT_EQ(outer.lines(), (std::vector<std::string>{"first", "second"}));
        EXPECT_EQ(outer.countStartingWith("Copy failed: "), 0);
    }
    logLine("to standard output");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "to standard output\n");
}

TEST(Log, LinesFromManyThreadsArriveWhole) {
    const ScopedLogCapture capture;
    const std::string line(200, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) logLine(line);
        });
    for (std::thread& thread : threads) thread.join();
    const std::vector<std::string> lines = capture.lines();
    EXPECT_EQ(lines.size(), 2000u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 2000);
}

TEST(Log, AThreadSinkTakesOnlyItsOwnThreadsLines) {
    const ScopedLogCapture capture;
    std::vector<std::string> mine;
    {
        const ScopedThreadLogSink sink([&mine](std::string_view line) { mine.emplace_back(line); });
        logLine("from this thread");
        std::thread([] { logLine("from another thread"); }).join();
        std::thread([starter = ScopedThreadLogSink::current()] {
            const ScopedThreadLogSink inherited(starter);
            logLine("from a thread it started");
        }).join();
    }
    logLine("after the sink");
    EXPECT_EQ(mine, (std::vector<std::string>{"from this thread", "from a thread it started"}));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"from another thread", "after the sink"}));
}

}  // namespace
}  // namespace tintreel
