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

TEST(UrlEncoding, ExportCutsOnlyBetweenWholeCharacters) {
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

TEST(TimeText, CurrentTimeIsUtcSeconds) {
    const long long now = static_cast<long long>(std::time(nullptr));
    EXPECT_LE(std::llabs(GetTimeSeconds() - now), 2);
    const std::wstring pushed = CallWithoutArgument(&NSISGetLocalTimeString);
    EXPECT_EQ(pushed.find_first_not_of(L"0123456789"), std::wstring::npos) << pushed.c_str();
    EXPECT_LE(std::llabs(std::stoll(pushed) - now), 2);
}
