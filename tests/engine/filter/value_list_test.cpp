#include "engine/filter/value_list.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

TEST(ValueListTest, ReadsCountAndReals) {
    float v[12] = {};
    int count = -1;
    ASSERT_TRUE(ParseValueList("  3 0 50.5\t100", v, 12, count));
    EXPECT_EQ(count, 3);
    EXPECT_FLOAT_EQ(v[1], 50.5f);
    EXPECT_FLOAT_EQ(v[2], 100.0f);
    ASSERT_TRUE(ParseValueList("12 1 2 3 4 5 6 7 8 9 10 11 12", v, 12, count));
    EXPECT_EQ(count, 12);
    ASSERT_TRUE(ParseValueList("2 +1e1 -5", v, 12, count));
    EXPECT_FLOAT_EQ(v[0], 10.0f);
    EXPECT_FLOAT_EQ(v[1], -5.0f);
}

TEST(ValueListTest, RejectsBrokenListsAndLeavesValuesAlone) {
    float v[12] = {7.0f};
    int count = 5;
    for (const char* text : {"", "   ", "x 1 2", "13 1 2 3 4 5 6 7 8 9 10 11 12 13", "3 0 50",
                             "2 0,5 1", "-1", "2 1 abc"}) {
        EXPECT_FALSE(ParseValueList(text, v, 12, count)) << '"' << text << '"';
    }
    EXPECT_EQ(count, 5);
    EXPECT_EQ(v[0], 7.0f);
}

}  // namespace
}  // namespace vestrel
