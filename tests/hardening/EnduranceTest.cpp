// Endurance: 200 renders of a short clip back to back through the render
// worker, half of them cancelled at a random moment, each on a thread of its
// own as the window runs them. Memory, open descriptors, threads and the
// temporary directory must come back to where they stood after a warm-up.
//
// The worker rather than the window: it is the same engine and the same
// cancel protocol without the player, whose media back end keeps caches and
// threads of its own that would blur the measurement, and it runs the 200
// renders in a fraction of the time.
#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "cli/CliProgram.h"
#include "hardening/HostileCorpus.h"
#include "imaging/EffectSettings.h"
#include "platform/system/TemporaryDirectory.h"
#include "render/RenderWorker.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer holds freed blocks in quarantine, so resident memory says
// nothing about leaks there; its leak checker covers them instead.
constexpr bool kResidentSizeIsMeaningful = false;
#else
constexpr bool kResidentSizeIsMeaningful = true;
#endif

struct Footprint {
    long residentKiB = 0;
    long descriptors = 0;
    std::multiset<std::string> threads;  // by name, so a difference says whose
    long files = 0;                      // entries of the temporary directory
};

long residentKiB() {
    // Freed memory that the allocator keeps cached in its per-thread arenas
    // (each render has its own thread) is handed back first, so what is
    // counted is memory still in use, not allocator caching.
    ::malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

std::multiset<std::string> threadNames() {
    std::multiset<std::string> names;
    for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        names.insert(name);
    }
    return names;
}

std::string joined(const std::multiset<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

Footprint measure(const fs::path& temporaryDirectory) {
    return {residentKiB(), test::entryCount("/proc/self/fd"), threadNames(),
            test::entryCount(temporaryDirectory)};
}

bool isPartOf(const std::multiset<std::string>& part, const std::multiset<std::string>& whole) {
    return std::includes(whole.begin(), whole.end(), part.begin(), part.end());
}

// The threads once those already on their way out have ended (at most 5 s):
// the filter engine's pool lets its workers go asynchronously when the last
// thread that used it ends, so one may outlive the render by a moment.
std::multiset<std::string> threadsAfterIdleOnesEnd(const std::multiset<std::string>& before) {
    std::multiset<std::string> now = threadNames();
    for (int wait = 0; wait < 50 && !isPartOf(now, before); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        now = threadNames();
    }
    return now;
}

class Endurance : public ::testing::Test {
protected:
    // One render on its own thread; `cancelAfter`, when set, raises the cancel flag after that long.
    RenderOutcome render(std::optional<std::chrono::microseconds> cancelAfter) {
        std::atomic<bool> cancel{false};
        std::optional<RenderResult> result;
        std::thread worker([&] {
            GeneratePreviewVideo(request_, cancel, NotificationCenter::defaultCenter(),
                                 [&](const RenderResult& r) { result = r; });
        });
        if (cancelAfter) {
            std::this_thread::sleep_for(*cancelAfter);
            cancel = true;
        }
        worker.join();
        return result ? result->outcome : RenderOutcome::Failed;
    }

    TemporaryDirectory directory_ = *TemporaryDirectory::create();
    RenderRequest request_{settingsWithSepia(), Image(), test::healthyClip(), directory_.path()};

private:
    static EffectSettings settingsWithSepia() {
        EffectSettings settings;
        settings.checkSepia = 1;
        return settings;
    }
};

TEST_F(Endurance, TwoHundredRendersHalfCancelledLeaveNoTrace) {
    ASSERT_FALSE(request_.videoPath.empty());
    // The allocator makes a new arena whenever threads contend for one and
    // keeps part of each; a render starts three threads, so on a loaded
    // machine the arena count, not our memory, would grow. A fixed number of
    // arenas keeps the measure about what we hold.
    ::mallopt(M_ARENA_MAX, 4);
    // Warm-up: thread pools, codec tables and allocator arenas reach their working size.
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) ASSERT_EQ(render(std::nullopt), RenderOutcome::Succeeded);
    const auto typical = (std::chrono::steady_clock::now() - started) / 10;
    DeleteTemporaryFiles(directory_.path());
    const Footprint before = measure(directory_.path());

    std::mt19937 random(7);
    int succeeded = 0, cancelled = 0;
    for (int i = 0; i < 200; ++i) {
        std::optional<std::chrono::microseconds> cancelAfter;
        // Cancels fall in the first quarter of a typical render, so that most
        // of them meet it running even when a render is quick or the machine busy.
        if (i % 2 == 1)
            cancelAfter = std::chrono::microseconds(std::uniform_int_distribution<long>(
                0, std::chrono::duration_cast<std::chrono::microseconds>(typical).count() / 4)(random));
        const RenderOutcome outcome = render(cancelAfter);
        ASSERT_NE(outcome, RenderOutcome::Failed) << "render " << i;
        (outcome == RenderOutcome::Succeeded ? succeeded : cancelled) += 1;
        const long files = test::entryCount(directory_.path());
        EXPECT_EQ(files, outcome == RenderOutcome::Succeeded ? 1 : 0) << "render " << i;
    }
    DeleteTemporaryFiles(directory_.path());
    Footprint after = measure(directory_.path());
    after.threads = threadsAfterIdleOnesEnd(before.threads);

    std::cout << "renders: " << succeeded << " succeeded, " << cancelled << " cancelled; typical "
              << std::chrono::duration_cast<std::chrono::milliseconds>(typical).count() << " ms\n"
              << "resident KiB " << before.residentKiB << " -> " << after.residentKiB << ", descriptors "
              << before.descriptors << " -> " << after.descriptors << ", threads [" << joined(before.threads)
              << "] -> [" << joined(after.threads) << "], files " << before.files << " -> " << after.files
              << std::endl;
    EXPECT_GE(cancelled, 50) << "most cancels land while the render runs";
    EXPECT_EQ(after.descriptors, before.descriptors);
    // Codec and pool threads of the warm-up may have ended since; no new one may stay.
    EXPECT_TRUE(isPartOf(after.threads, before.threads));
    EXPECT_EQ(after.files, 0);
    // Allocator caching moves the resident size a little (about 2 MiB measured
    // here over 200 renders); a leak of one decoded frame per render (75 KiB
    // of RGBA) would add 15 MiB.
    if (kResidentSizeIsMeaningful) {
        EXPECT_LT(after.residentKiB - before.residentKiB, 4096);
    }
}

}  // namespace
}  // namespace tintreel
