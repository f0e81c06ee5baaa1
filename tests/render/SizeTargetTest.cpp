// The arithmetic of a file-size target: how sizes are read and written, when
// the sound is copied or re-encoded smaller, which targets are refused, and
// how the rate comes down after a file that came out too large.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/media/RenderSettings.h"
#include "render/SizeTarget.h"

namespace tintreel {
namespace {

TEST(SizeTarget, ReadsSizesInBytesAndDecimalUnits) {
    const std::vector<std::pair<std::string, std::optional<long long>>> cases{
        {"8M", 8'000'000},       {"8m", 8'000'000},
        {"8MB", 8'000'000},      {"300k", 300'000},
        {"1.5G", 1'500'000'000}, {"4096", 4096},
        {"2.5k", 2500},          {"0", std::nullopt},
        {"0M", std::nullopt},    {"0.0001k", std::nullopt},
        {"-3M", std::nullopt},   {"8X", std::nullopt},
        {"", std::nullopt},      {"M", std::nullopt},
        {"nanM", std::nullopt},  {"8 M", std::nullopt},
        {"1e30", std::nullopt}};
    for (const auto& [text, bytes] : cases) EXPECT_EQ(parseByteSize(text), bytes) << text;
    EXPECT_EQ(byteSizeText(8'000'000), "8 MB");
    EXPECT_EQ(byteSizeText(312'500), "312 kB");
    EXPECT_EQ(byteSizeText(999), "999 bytes");
}

// Bits a file of the plan spends over `seconds`, sound and video together.
double plannedBytes(const SizePlan& plan, const SoundFacts& sound, double seconds) {
    const double soundBits =
        plan.audioBitsPerSecond > 0 ? plan.audioBitsPerSecond * sound.tracks : sound.bitsPerSecond;
    return (plan.videoBitsPerSecond + soundBits) * seconds / 8.0;
}

TEST(SizeTarget, CopiesTheSoundWhileItFitsAndKeepsTheFileUnderTheTarget) {
    struct Case {
        long long maxBytes;
        double seconds;
        SoundFacts sound;
        bool copied;
    };
    const std::vector<Case> cases{
        {300'000, 3.0, {1, 128'000}, true},     // a quarter of 770 kb/s holds 128 kb/s
        {100'000, 3.0, {1, 128'000}, false},    // a quarter of 250 kb/s does not
        {8'000'000, 60.0, {2, 192'000}, true},  // two tracks of 96 kb/s in 1 Mb/s
        {8'000'000, 60.0, {2, 0}, false},       // a rate the file does not state cannot be counted on
        {300'000, 3.0, {0, 0}, true},           // no sound: all for the picture
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.maxBytes) + " bytes over " + std::to_string(c.seconds) + " s");
        const Result<SizePlan> plan = planForSize(c.maxBytes, c.seconds, c.sound);
        ASSERT_TRUE(plan) << plan.error();
        EXPECT_EQ(plan->audioBitsPerSecond == 0, c.copied);
        if (!c.copied) {
            EXPECT_GE(plan->audioBitsPerSecond, 24'000);
            EXPECT_LE(plan->audioBitsPerSecond, 128'000);
        }
        const double bytes = plannedBytes(*plan, c.sound, c.seconds);
        EXPECT_LT(bytes, 0.95 * c.maxBytes);
        EXPECT_GT(bytes, 0.85 * c.maxBytes);
    }
}

TEST(SizeTarget, RefusesTargetsNoFileCanMeet) {
    const std::vector<std::tuple<long long, double, SoundFacts, std::string>> cases{
        {10'000,
         3.0,
         {1, 128'000},
         "10 kB is too small for 3 s of this movie and its sound: it needs at least"},
        {5'000, 3.0, {0, 0}, "5 kB is too small for 3 s of this movie: it needs at least"},
        {0, 3.0, {0, 0}, "more than 0 bytes"},
        {300'000, 0.0, {0, 0}, "duration is unknown"},
    };
    for (const auto& [maxBytes, seconds, sound, why] : cases) {
        const Result<SizePlan> plan = planForSize(maxBytes, seconds, sound);
        ASSERT_FALSE(plan) << maxBytes;
        EXPECT_NE(plan.error().find(why), std::string::npos) << plan.error();
    }
    // A little over the least size it names is enough.
    const Result<SizePlan> refused = planForSize(10'000, 3.0, {1, 128'000});
    ASSERT_FALSE(refused);
    const std::string least = refused.error().substr(refused.error().rfind("least ") + 6);
    const std::optional<long long> leastBytes = parseByteSize(least.substr(0, least.find(' ')) + "k");
    ASSERT_TRUE(leastBytes) << least;
    EXPECT_TRUE(planForSize(*leastBytes + 1000, 3.0, {1, 128'000}));
}

TEST(SizeTarget, LowersTheRateByTheExcessOnly) {
    const SizePlan plan{700'000, 0};
    EXPECT_FALSE(replanForSize(plan, 300'000, 300'000, 3.0));  // fits exactly
    const std::optional<SizePlan> lower = replanForSize(plan, 300'000, 330'000, 3.0);
    ASSERT_TRUE(lower);
    // 30 kB over 3 s is 80 kb/s too many; the new rate takes that and a margin off.
    EXPECT_LT(lower->videoBitsPerSecond, 700'000 - 80'000);
    EXPECT_GT(lower->videoBitsPerSecond, 0.9 * (700'000 - 80'000));
    EXPECT_FALSE(replanForSize(plan, 300'000, 600'000, 3.0));  // no rate left worth a picture
}

}  // namespace
}  // namespace tintreel
