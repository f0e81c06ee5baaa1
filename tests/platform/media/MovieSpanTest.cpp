// Times as the user writes them for in and out points, and the span fitted
// to a movie.
#include <gtest/gtest.h>

#include "platform/media/MovieSpan.h"

namespace tintreel {
namespace {

TEST(MovieSpan, ReadsSecondsMinutesAndHoursAndRefusesTheRest) {
    const std::pair<const char*, std::optional<double>> table[] = {
        {"12.5", 12.5},
        {"0", 0.0},
        {"7", 7.0},
        {".25", 0.25},
        {"3.", 3.0},
        {"1:02.50", 62.5},
        {"0:59.99", 59.99},
        {"1:00:00", 3600.0},
        {"2:03:04.05", 7384.05},
        {"90", 90.0},
        {"", std::nullopt},
        {"-1", std::nullopt},
        {"1e3", std::nullopt},
        {"1:60", std::nullopt},
        {"1:2:60", std::nullopt},
        {"1:61:00", std::nullopt},
        {"1.5:00", std::nullopt},
        {"1::2", std::nullopt},
        {"1:2:3:4", std::nullopt},
        {".", std::nullopt},
        {"1.2.3", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"abc", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"+3", std::nullopt},
        {":30", std::nullopt},
    };
    for (const auto& [text, seconds] : table) {
        SCOPED_TRACE(text);
        const std::optional<double> parsed = parseTimePoint(text);
        ASSERT_EQ(parsed.has_value(), seconds.has_value());
        if (seconds) EXPECT_NEAR(*parsed, *seconds, 1e-9);
    }
}

TEST(MovieSpan, WritesTimesItReadsBack) {
    const std::pair<double, const char*> table[] = {{0.0, "0:00.00"},
                                                    {12.5, "0:12.50"},
                                                    {62.499, "1:02.50"},
                                                    {3599.996, "1:00:00.00"},
                                                    {7384.05, "2:03:04.05"}};
    for (const auto& [seconds, text] : table) {
        EXPECT_EQ(formatTimePoint(seconds), text);
        EXPECT_NEAR(*parseTimePoint(formatTimePoint(seconds)), seconds, 0.005);
    }
}

TEST(MovieSpan, FitsToTheMovieOrSaysWhyNot) {
    const double movie = 10.0;
    EXPECT_FALSE(spanProblem({2.0, 5.0}, movie));
    EXPECT_FALSE(spanProblem({2.0, 50.0}, movie));  // past the end: the end
    EXPECT_EQ(clampedSpan({2.0, 50.0}, movie), (MovieSpan{2.0, 10.0}));
    EXPECT_EQ(clampedSpan({0.0, 5.0}, movie), (MovieSpan{0.0, 5.0}));
    ASSERT_TRUE(spanProblem({5.0, 5.0}, movie));
    EXPECT_NE(spanProblem({5.0, 5.0}, movie)->find("not before"), std::string::npos);
    ASSERT_TRUE(spanProblem({10.0, 12.0}, movie));
    EXPECT_NE(spanProblem({10.0, 12.0}, movie)->find("past the end"), std::string::npos);
    EXPECT_TRUE(MovieSpan{}.isWhole());
    EXPECT_FALSE((MovieSpan{0.0, 3.0}).isWhole());
    EXPECT_FALSE((MovieSpan{1.0}).isWhole());
}

}  // namespace
}  // namespace tintreel
