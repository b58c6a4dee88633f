#include "UrlEncoding.h"

#include <gtest/gtest.h>

TEST(UrlEncoding, EscapesDelimitersControlsAndHighBytes) {
    EXPECT_EQ(PercentEncode("a b&c"), "a%20b%26c");
    EXPECT_EQ(PercentEncode("~"), "%7E");
    EXPECT_EQ(PercentEncode("-._*'()AZaz09"), "-._*'()AZaz09");
    EXPECT_EQ(PercentEncode("\"<>%\\^[]`+$,@:;/!#?=&"),
              "%22%3C%3E%25%5C%5E%5B%5D%60%2B%24%2C%40%3A%3B%2F%21%23%3F%3D%26");
    EXPECT_EQ(PercentEncode(std::string("\x01\x7F{|}\xFF", 6)), "%01%7F%7B%7C%7D%FF");
    EXPECT_EQ(PercentEncode(""), "");
}

TEST(UrlEncoding, CutsOnlyBetweenWholeCharacters) {
    const std::string ideograph = "\xE4\xB8\xAD"; // U+4E2D, escaped as %E4%B8%AD
    const std::string text = std::string(1022, 'a') + ideograph;
    EXPECT_EQ(PercentEncode(text, 1023), std::string(1022, 'a'));
    EXPECT_EQ(PercentEncode(text, 1030), std::string(1022, 'a'));
    EXPECT_EQ(PercentEncode(text, 1031), std::string(1022, 'a') + "%E4%B8%AD");
    EXPECT_EQ(PercentEncode("a b", 2), "a");
    EXPECT_EQ(PercentEncode("a b", 3), "a");
    EXPECT_EQ(PercentEncode("a b", 4), "a%20");
    EXPECT_EQ(PercentEncode("\xF0\x9F\x98\x80", 11), ""); // four escapes or none
    EXPECT_EQ(PercentEncode("x", 0), "");
}
