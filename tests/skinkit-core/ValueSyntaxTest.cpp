#include "ValueSyntax.h"

#include <gtest/gtest.h>

#include <climits>

using namespace SkinKit;

TEST(ValueSyntax, IntegersStopAtFirstOtherCharacter) {
    EXPECT_EQ(42, ParseInt(L"42"));
    EXPECT_EQ(-7, ParseInt(L" \t-7px"));
    EXPECT_EQ(5, ParseInt(L"+5"));
    EXPECT_EQ(0, ParseInt(L"abc"));
    EXPECT_EQ(0, ParseInt(L""));
    EXPECT_EQ(0, ParseInt(nullptr));
    EXPECT_EQ(12, ParseInt(L"12.9"));
    EXPECT_EQ(INT_MAX, ParseInt(L"99999999999999999999"));
    EXPECT_EQ(INT_MIN, ParseInt(L"-99999999999999999999"));

    const wchar_t* text = L"  31;x";
    const wchar_t* end = nullptr;
    ParseInt(text, &end);
    EXPECT_EQ(text + 4, end);
}

TEST(ValueSyntax, ListsSkipExactlyOneSeparatorOfAnyKind) {
    for (const wchar_t* text : {L"500,350", L"500;350", L"500 350", L"500, 350", L"500x350"}) {
        SkinSize size = ParseSize(text);
        EXPECT_EQ(500, size.cx) << text;
        EXPECT_EQ(350, size.cy) << text;
    }
    SkinRect r = ParseRect(L"1,-2,3,4");
    EXPECT_EQ(1, r.left);
    EXPECT_EQ(-2, r.top);
    EXPECT_EQ(3, r.right);
    EXPECT_EQ(4, r.bottom);

    // Two separators: the second one is where the next number should be.
    EXPECT_EQ(0, ParseSize(L"500,,350").cy);

    // Short lists leave the rest 0 without reading past the end.
    int values[4] = {9, 9, 9, 9};
    EXPECT_EQ(2, ParseIntList(L"7,8", values, 4));
    EXPECT_EQ(7, values[0]);
    EXPECT_EQ(8, values[1]);
    EXPECT_EQ(0, values[2]);
    EXPECT_EQ(0, values[3]);
}

TEST(ValueSyntax, ColoursAreHexAARRGGBBWithOptionalHash) {
    EXPECT_EQ(0xFFFF00FFu, ParseColor(L"#FFFF00FF"));
    EXPECT_EQ(0xFF123456u, ParseColor(L"FF123456"));
    EXPECT_EQ(0x00FFFFFFu, ParseColor(L"#00ffffff"));
    EXPECT_EQ(0xABu, ParseColor(L"#AB"));
    EXPECT_EQ(0x12u, ParseColor(L"#12zz"));
    EXPECT_EQ(0u, ParseColor(L"#"));
    EXPECT_EQ(0u, ParseColor(L""));
    EXPECT_EQ(0xFF000000u, ParseColor(L"0xFF000000"));
    EXPECT_EQ(0xFFFFFFFFu, ParseColor(L"#1FFFFFFFFFFFFFFFFFFFFFFFF"));
}

TEST(ValueSyntax, OnlyExactTrueIsTrue) {
    EXPECT_TRUE(ParseBool(L"true"));
    for (const wchar_t* text : {L"True", L"TRUE", L"1", L" true", L"true ", L"", L"yes"})
        EXPECT_FALSE(ParseBool(text)) << text;
    EXPECT_FALSE(ParseBool(nullptr));
}

TEST(ValueSyntax, AttributeListsAreQuotedPairsSeparatedByOneSpace) {
    AttributeList list = ParseAttributeList(L"width=\"10\" bkimage=\"file='a.png' corner='1,1,1,1'\" text=\"\"");
    ASSERT_EQ(3u, list.size());
    EXPECT_EQ(L"width", list[0].first);
    EXPECT_EQ(L"10", list[0].second);
    EXPECT_EQ(L"file='a.png' corner='1,1,1,1'", list[1].second);
    EXPECT_EQ(L"text", list[2].first);
    EXPECT_EQ(L"", list[2].second);

    // No space, or a missing quote, ends the list.
    EXPECT_EQ(1u, ParseAttributeList(L"a=\"1\"b=\"2\"").size());
    EXPECT_EQ(1u, ParseAttributeList(L"a=\"1\" b=2").size());
    EXPECT_EQ(0u, ParseAttributeList(L"a=\"unterminated").size());
    EXPECT_EQ(0u, ParseAttributeList(L"a = \"1\"").size());
    EXPECT_EQ(0u, ParseAttributeList(L"noequals").size());
    EXPECT_EQ(0u, ParseAttributeList(nullptr).size());
}
