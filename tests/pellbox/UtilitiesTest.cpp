#include "FakeInstallerStack.h"
#include "SmallUtilities.h"
#include "TimeText.h"
#include "UrlEncoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

TEST(UrlEncoding, EscapesDelimitersControlsAndHighBytes) {
    EXPECT_EQ(PercentEncode("a b&c"), "a%20b%26c");
    EXPECT_EQ(PercentEncode("~"), "%7E");
    EXPECT_EQ(PercentEncode("-._*'()AZaz09"), "-._*'()AZaz09");
    EXPECT_EQ(PercentEncode("\"<>%\\^[]`+$,@:;/!#?=&"),
              "%22%3C%3E%25%5C%5E%5B%5D%60%2B%24%2C%40%3A%3B%2F%21%23%3F%3D%26");
    EXPECT_EQ(PercentEncode(std::string("\x01\x7F{|}\xFF", 6)), "%01%7F%7B%7C%7D%FF");
    EXPECT_EQ(PercentEncode(""), "");
}

TEST(UrlEncoding, NonAsciiTextIsEncodedAsUtf8) {
    EXPECT_EQ(UrlEncode(L"中"), "%E4%B8%AD");
    EXPECT_EQ(UrlEncode(L"邮件 a+b"), "%E9%82%AE%E4%BB%B6%20a%2Bb");
    EXPECT_EQ(UrlEncode(L"\u0E01"), "%3F"); // not in code page 936
    EXPECT_EQ(UrlEncode(L""), "");
    EXPECT_EQ(CallWithArgument(&NSISUrlEncode, L"中 文"), L"%E4%B8%AD%20%E6%96%87");
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

    // Through the export: the host's string size is the limit, and the pushed text ends whole.
    for (int stringSize : {1024, 8192}) {
        for (size_t count : {size_t(1022), size_t(stringSize - 3), size_t(stringSize - 4), size_t(stringSize - 10)}) {
            FakeInstallerStack stack(stringSize);
            stack.Push(std::wstring(count, L'a') + L"中");
            stack.Call(&NSISUrlEncode);
            const std::wstring pushed = stack.Pop();
            EXPECT_LE(pushed.size(), size_t(stringSize - 1));
            const std::wstring whole = std::wstring(count, L'a') + L"%E4%B8%AD";
            if (whole.size() <= size_t(stringSize - 1))
                EXPECT_EQ(pushed, whole) << stringSize << " " << count;
            else
                EXPECT_EQ(pushed, std::wstring(count < size_t(stringSize) ? count : stringSize - 1, L'a'))
                    << stringSize << " " << count;
        }
    }
    // A host with long strings gets the whole text, past the old 8,195-character buffer.
    FakeInstallerStack roomy(20000);
    roomy.Push(std::wstring(9000, L'b') + L"中");
    roomy.Call(&NSISUrlEncode);
    EXPECT_EQ(roomy.Pop(), std::wstring(9000, L'b') + L"%E4%B8%AD");
}

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

TEST(TimeText, CurrentTimeIsUtcSeconds) {
    const long long now = static_cast<long long>(std::time(nullptr));
    EXPECT_LE(std::llabs(GetTimeSeconds() - now), 2);
    const std::wstring pushed = CallWithoutArgument(&NSISGetLocalTimeString);
    EXPECT_EQ(pushed.find_first_not_of(L"0123456789"), std::wstring::npos) << pushed.c_str();
    EXPECT_LE(std::llabs(std::stoll(pushed) - now), 2);
}
