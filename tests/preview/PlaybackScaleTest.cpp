// Automatic preview scale: never finer than the view shows, coarser while a
// frame costs most of its period, finer again only with room for four times the work.
#include <gtest/gtest.h>

#include "preview/PlaybackScale.h"

namespace tintreel {
namespace {

TEST(PlaybackScale, FollowsTheViewAndTheCostOfAFrame) {
    EXPECT_EQ(shrinkForView(1920, 1900), 1);
    EXPECT_EQ(shrinkForView(1920, 960), 2);
    EXPECT_EQ(shrinkForView(1920, 700), 2);
    EXPECT_EQ(shrinkForView(1920, 400), 4);
    EXPECT_EQ(shrinkForView(1920, 100), 4) << "quarter is the smallest";

    struct Case {
        int current, view;
        double frameMs, periodMs;
        int expected;
    };
    const Case cases[] = {
        {1, 1, 20, 33.3, 1},  // keeps up: stays
        {1, 1, 30, 33.3, 2},  // over 80 % of the period: half
        {2, 1, 30, 33.3, 4},  // still too slow: quarter
        {4, 1, 40, 33.3, 4},  // nothing smaller
        {4, 1, 3, 33.3, 2},   // room for four times the work: one step finer
        {2, 1, 5, 33.3, 2},   // not that much room
        {2, 2, 1, 33.3, 2},   // never finer than the view shows
        {1, 2, 1, 33.3, 2},   // the view shrank: follow it
        {2, 1, 0, 33.3, 2},   // no measurement yet
    };
    for (const Case& c : cases)
        EXPECT_EQ(automaticShrink(c.current, c.view, c.frameMs, c.periodMs), c.expected)
            << c.current << " " << c.view << " " << c.frameMs;
}

}  // namespace
}  // namespace tintreel
