#include <gtest/gtest.h>

#include "settings/ControlCatalogue.h"
#include "settings/PairInput.h"

namespace tintreel {
namespace {

TEST(PairInput, IntegerRowsCheckClampAndWriteTheirValues) {
    const ControlRow& size = *findControl("textFieldTextFontSize");
    EXPECT_EQ(editPair(size, "600").value, 500.0f);
    EXPECT_EQ(editPair(size, "600").replacementText, "500");
    EXPECT_EQ(editPair(size, "80").value, 80.0f);
    EXPECT_FALSE(editPair(size, "80").replacementText.has_value());
    EXPECT_EQ(editPair(size, "12.5").value, 0.0f);
    EXPECT_EQ(editPair(size, "").value, 0.0f);
    EXPECT_EQ(editPair(size, "99999999999999999999").value, 0.0f);  // beyond 64 bits: invalid

    const ControlRow& opacity = *findControl("textFieldTextOpacity");
    EXPECT_EQ(editPair(opacity, "0").value, 0.0f);
    EXPECT_EQ(editPair(opacity, "-5").value, 1.0f);
    EXPECT_EQ(editPair(opacity, "x").value, 1.0f);

    const ControlRow& offset = *findControl("textFieldTextXOffset");
    EXPECT_EQ(editPair(offset, " 20").value, 0.0f);
    EXPECT_EQ(editPair(offset, "+20").value, 20.0f);
    EXPECT_EQ(editPair(offset, "-20000").value, -10000.0f);
    EXPECT_EQ(editPair(*findControl("textFieldImageScale"), "abc").value, 1.0f);
}

TEST(PairInput, TheScaleReadsTheLeadingNumber) {
    const ControlRow& scale = *findControl("textFieldScale");
    EXPECT_EQ(editPair(scale, "12.5").value, 12.5f);
    EXPECT_FALSE(editPair(scale, "12.5").replacementText.has_value());
    EXPECT_EQ(editPair(scale, "abc").value, 1.0f);
    EXPECT_EQ(editPair(scale, "abc").replacementText, "1");
    EXPECT_EQ(editPair(scale, " 50%").value, 50.0f);
    EXPECT_EQ(editPair(scale, "5000").value, 999.0f);
    EXPECT_EQ(editPair(scale, "nan").value, 1.0f);
    EXPECT_EQ(editPair(scale, "0x40").value, 1.0f);
    EXPECT_EQ(editPair(scale, "1e9").value, 999.0f);
}

TEST(PairInput, DecimalIntegers) {
    for (const char* yes : {"0", "-0", "+7", "9223372036854775807", "-9223372036854775808"})
        EXPECT_TRUE(isDecimalInteger(yes)) << yes;
    for (const char* no : {"", "+", "-", " 1", "1 ", "1.0", "1e3", "9223372036854775808", "0x1", "--1"})
        EXPECT_FALSE(isDecimalInteger(no)) << no;
}

}  // namespace
}  // namespace tintreel
