#include "TimeText.h"

#include <gtest/gtest.h>

TEST(TimeText, SecondsSince1970) {
    const uint64_t epoch = 116444736000000000ull;
    EXPECT_EQ(SecondsSince1970(epoch + 1577836800ull * 10000000ull + 9999999), 1577836800);
    EXPECT_EQ(SecondsSince1970(epoch), 0);
    EXPECT_EQ(SecondsSince1970(epoch - 1), -1);
    EXPECT_EQ(SecondsSince1970(epoch + 32535244799ull * 10000000ull), 32535244799ll);
    EXPECT_EQ(SecondsSince1970(epoch + 32535244800ull * 10000000ull), -1);

    EXPECT_EQ(FormatTimeText(1577836800), "1577836800");
    EXPECT_EQ(FormatTimeText(-1), "-1");
    EXPECT_EQ(FormatTimeText(32535244799ll), "32535244799");
}
