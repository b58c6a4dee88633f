#include "MachineIdentity.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

DiskIdentityCache slowCache;
HANDLE releaseSlowQuery = CreateEventW(nullptr, TRUE, FALSE, nullptr);
HANDLE slowQueryDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
int slowQueries = 0;

std::string SlowQuery() {
    ++slowQueries;
    WaitForSingleObject(releaseSlowQuery, 10000);
    SetEvent(slowQueryDone);
    return "SLOW DISK";
}

DiskIdentityCache emptyCache;
std::string EmptyQuery() {
    return "";
}

DiskIdentityCache fastCache;
std::string FastQuery() {
    return "FAST";
}

} // namespace

TEST(DiskIdentity, WmiWaitIsBoundedAndALateAnswerIsCached) {
    const DWORD start = GetTickCount();
    EXPECT_EQ(IdentifyByWmi(slowCache, &SlowQuery, 300), "");
    EXPECT_LT(GetTickCount() - start, 2000u);

    SetEvent(releaseSlowQuery);
    ASSERT_EQ(WaitForSingleObject(slowQueryDone, 5000), WAIT_OBJECT_0);
    for (int i = 0; i < 100 && slowCache.Text().empty(); ++i)
        Sleep(10);
    EXPECT_EQ(IdentifyByWmi(slowCache, &SlowQuery, 300), "SLOW DISK");
    EXPECT_EQ(slowQueries, 1); // answered from the cache

    EXPECT_EQ(IdentifyByWmi(fastCache, &FastQuery, 3000), "FAST");
    EXPECT_EQ(IdentifyByWmi(emptyCache, &EmptyQuery, 3000), "");
}

TEST(DiskIdentity, CacheReadsEmptyOrComplete) {
    static DiskIdentityCache cache;
    const std::string full(1500, 'S');
    struct Writer {
        static DWORD WINAPI Run(void* text) {
            cache.Publish(*static_cast<const std::string*>(text));
            return 0;
        }
    };
    HANDLE writer = CreateThread(nullptr, 0, &Writer::Run, const_cast<std::string*>(&full), 0, nullptr);
    bool sawOnlyWholeTexts = true;
    for (int i = 0; i < 20000; ++i) {
        const std::string seen = cache.Text();
        if (!seen.empty() && seen != full.substr(0, 1023))
            sawOnlyWholeTexts = false;
    }
    WaitForSingleObject(writer, INFINITE);
    CloseHandle(writer);
    EXPECT_TRUE(sawOnlyWholeTexts);
    EXPECT_EQ(cache.Text().size(), 1023u);
    cache.Publish("second");
    EXPECT_EQ(cache.Text().size(), 1023u); // the first answer stays
}

TEST(DiskIdentity, RealIdentityAndUuidHaveTheirShape) {
    const std::wstring identity = GetHardSN();
    EXPECT_LE(identity.size(), 28u);
    EXPECT_EQ(identity.find(L' '), std::wstring::npos);

    const std::wstring first = NewAppUuid();
    ASSERT_EQ(first.size(), 32u);
    for (wchar_t c : first)
        EXPECT_TRUE((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) << static_cast<int>(c);
    EXPECT_NE(NewAppUuid(), first);
}
