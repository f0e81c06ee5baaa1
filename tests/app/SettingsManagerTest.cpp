#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "app/SettingsManager.h"

namespace tintreel {
namespace {

TEST(SettingsManager, OneInstanceEvenWhenFirstUsedFromManyThreads) {
    std::vector<SettingsManager*> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = &SettingsManager::shared(); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(std::set<SettingsManager*>(seen.begin(), seen.end()).size(), 1u);
    EXPECT_FALSE(SettingsManager::shared().generatePreviewCanceledByUser);
}

}  // namespace
}  // namespace tintreel
