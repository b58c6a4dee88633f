#include <gtest/gtest.h>
#include <json/json.h>
#include <zlib.h>
#include <windows.h>
TEST(Smoke, Runs) {
    Json::Value v; v["a"] = 1;
    EXPECT_EQ(Json::FastWriter().write(v), "{\"a\":1}\n");
    EXPECT_NE(zlibVersion(), nullptr);
    EXPECT_EQ(sizeof(wchar_t), 2u);
    EXPECT_EQ(wcslen(L"中文"), 2u);
}
