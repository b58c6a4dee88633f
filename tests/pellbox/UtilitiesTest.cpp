#include "FakeInstallerStack.h"
#include "SmallUtilities.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

TEST(UrlEncoding, NonAsciiTextIsEncodedAsUtf8) {
    EXPECT_EQ(UrlEncode(L"中"), "%E4%B8%AD");
    EXPECT_EQ(UrlEncode(L"邮件 a+b"), "%E9%82%AE%E4%BB%B6%20a%2Bb");
    EXPECT_EQ(UrlEncode(L"\u0E01"), "%3F"); // not in code page 936
    EXPECT_EQ(UrlEncode(L""), "");
    EXPECT_EQ(CallWithArgument(&NSISUrlEncode, L"中 文"), L"%E4%B8%AD%20%E6%96%87");
}

TEST(TimeText, CurrentTimeIsUtcSeconds) {
    const long long now = static_cast<long long>(std::time(nullptr));
    EXPECT_LE(std::llabs(GetTimeSeconds() - now), 2);
    const std::wstring pushed = CallWithoutArgument(&NSISGetLocalTimeString);
    EXPECT_EQ(pushed.find_first_not_of(L"0123456789"), std::wstring::npos) << pushed.c_str();
    EXPECT_LE(std::llabs(std::stoll(pushed) - now), 2);
}
