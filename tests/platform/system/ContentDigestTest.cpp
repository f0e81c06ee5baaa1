// The digest slices compare must read the same on every machine: SHA-256
// cut to 128 bits, numbers in one byte order, texts with their length.
#include <gtest/gtest.h>

#include <array>

#include "platform/system/ContentDigest.h"

namespace tintreel {
namespace {

TEST(ContentDigest, IsTheSameOnEveryMachineAndKeepsPiecesApart) {
    const std::array<std::uint8_t, 3> abc{'a', 'b', 'c'};
    // The first half of the published SHA-256 of "abc".
    EXPECT_EQ(ContentDigest().add(abc).hex(), "ba7816bf8f01cfea414140de5dae2223");
    const std::array<std::uint8_t, 8> oneLowestFirst{1, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ContentDigest().add(std::int64_t{1}).hex(), ContentDigest().add(oneLowestFirst).hex());
    EXPECT_NE(ContentDigest().add("ab").add("c").hex(), ContentDigest().add("a").add("bc").hex());
}

}  // namespace
}  // namespace tintreel
