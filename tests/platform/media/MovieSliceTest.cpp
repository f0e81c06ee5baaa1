// Slice numbers as the command line and the slice tag spell them, and the
// stretches of time the slices of one movie cover.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/media/MovieSlice.h"

namespace tintreel {
namespace {

TEST(SliceNumber, ReadsWholeNumbersFromOneToTheCount) {
    EXPECT_EQ(SliceNumber::parse("2/3"), (SliceNumber{2, 3}));
    EXPECT_EQ(SliceNumber::parse("12/12"), (SliceNumber{12, 12}));
    EXPECT_EQ(SliceNumber::parse(SliceNumber{7, 9}.text()), (SliceNumber{7, 9}));
    for (const char* bad : {"", "3", "/3", "2/", "0/3", "4/3", "1/0", "-1/2", "1/-2", "1.5/3", "1/3x", " 1/3", "a/b",
                            "1/99999999999"})
        EXPECT_FALSE(SliceNumber::parse(bad)) << bad;
}

TEST(SliceRange, SlicesShareTheirBoundariesAndTheEndsStayOpen) {
    // A duration whose thirds are not exact in binary.
    const double duration = 10.1;
    const FrameRange first = sliceRange({1, 3}, duration);
    const FrameRange middle = sliceRange({2, 3}, duration);
    const FrameRange last = sliceRange({3, 3}, duration);
    EXPECT_TRUE(std::isinf(first.start) && first.start < 0);
    EXPECT_EQ(first.end, middle.start);
    EXPECT_EQ(middle.end, last.start);
    EXPECT_TRUE(std::isinf(last.end) && last.end > 0);
    EXPECT_NEAR(middle.start, duration / 3, 1e-9);
    EXPECT_NEAR(middle.end - middle.start, duration / 3, 1e-9);
    const FrameRange whole = sliceRange({1, 1}, duration);
    EXPECT_TRUE(std::isinf(whole.start) && std::isinf(whole.end));
}

// Within a span the shares are of its length, moved to its in point; the
// open ends stay open. The span a slice records reads back exactly.
TEST(SliceRange, ASpanIsSplitFromItsInPointAndRecordedExactly) {
    const MovieSpan span{1.3, 11.4};
    const FrameRange first = sliceRange({1, 3}, span);
    const FrameRange middle = sliceRange({2, 3}, span);
    const FrameRange last = sliceRange({3, 3}, span);
    EXPECT_TRUE(std::isinf(first.start) && first.start < 0);
    EXPECT_EQ(first.end, middle.start);
    EXPECT_EQ(middle.end, last.start);
    EXPECT_TRUE(std::isinf(last.end) && last.end > 0);
    EXPECT_NEAR(middle.start, 1.3 + 10.1 / 3, 1e-9);
    EXPECT_NEAR(middle.end, 1.3 + 2 * 10.1 / 3, 1e-9);

    for (const MovieSpan recorded : {span, MovieSpan{0.0, 0.1}, MovieSpan{1.0 / 3, 7200.000001}})
        EXPECT_EQ(parseSliceSpan(sliceSpanText(recorded)), recorded) << sliceSpanText(recorded);
    EXPECT_EQ(sliceSpanText(MovieSpan{0.5, 3.3}), "0.5 3.3");
    for (const char* bad : {"", "1", "1 ", " 1 2", "1 2x", "2 1", "1 1", "-1 2", "1 inf", "nan 2", "1  2"})
        EXPECT_FALSE(parseSliceSpan(bad)) << bad;
}

}  // namespace
}  // namespace tintreel
