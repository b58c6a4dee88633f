#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FinalPathText.h"
#include "PathHelpers.h"

namespace {

std::wstring Join(const wchar_t* dir, const wchar_t* name, size_t capacity = kCopyPathCapacity) {
    std::vector<wchar_t> out(capacity);
    return JoinPath(out.data(), capacity, dir, name) ? std::wstring(out.data()) : L"<none>";
}

std::wstring Prefixed(const wchar_t* path, uint32_t* inserted, size_t capacity = 64) {
    std::vector<wchar_t> buffer(capacity);
    std::wstring(path).copy(buffer.data(), capacity - 1);
    *inserted = AddLongPathPrefix(buffer.data(), capacity);
    return buffer.data();
}

std::wstring Root(const wchar_t* path) {
    wchar_t root[kVolumeRootCapacity];
    return GetVolumeRoot(path, root) ? std::wstring(root) : L"<none>";
}

} // namespace

TEST(JoinPath, AddsOneBackslashBetweenDirectoryAndName) {
    EXPECT_EQ(Join(L"C:\\", L"a.txt"), L"C:\\a.txt");
    EXPECT_EQ(Join(L"C:\\d", L"a.txt"), L"C:\\d\\a.txt");
    EXPECT_EQ(Join(L"", L"a.txt"), L"a.txt");
    EXPECT_EQ(Join(L"\\\\?\\C:\\数据", L"文件.txt"), L"\\\\?\\C:\\数据\\文件.txt");
}

TEST(JoinPath, ComposesPathsFarBeyondAThousandUnitsAndRefusesWhatDoesNotFit) {
    std::wstring dir = L"\\\\?\\C:\\" + std::wstring(2000, L'x');
    EXPECT_EQ(Join(dir.c_str(), L"name"), dir + L"\\name");
    // "C:\d" + "\" + "ab" = 7 units + terminator.
    EXPECT_EQ(Join(L"C:\\d", L"ab", 8), L"C:\\d\\ab");
    EXPECT_EQ(Join(L"C:\\d", L"abc", 8), L"<none>");
    std::wstring huge(kCopyPathCapacity, L'y');
    EXPECT_EQ(Join(L"C:\\", huge.c_str()), L"<none>");
}

TEST(AddLongPathPrefix, PrefixesDrivePathsAndRewritesUncPaths) {
    uint32_t inserted = 0;
    EXPECT_EQ(Prefixed(L"D:\\data", &inserted), L"\\\\?\\D:\\data");
    EXPECT_EQ(inserted, 4u);
    EXPECT_EQ(Prefixed(L"\\\\srv\\share", &inserted), L"\\\\?\\UNC\\srv\\share");
    EXPECT_EQ(inserted, 7u);
}

TEST(AddLongPathPrefix, LeavesPrefixedPathsAndPathsWithoutRoomUnchanged) {
    uint32_t inserted = 1;
    EXPECT_EQ(Prefixed(L"\\\\?\\C:\\x", &inserted), L"\\\\?\\C:\\x");
    EXPECT_EQ(inserted, 0u);
    EXPECT_EQ(Prefixed(L"\\\\?\\UNC\\s\\t", &inserted), L"\\\\?\\UNC\\s\\t");
    EXPECT_EQ(inserted, 0u);
    // "C:\abc" needs 6 + 4 + 1 units.
    EXPECT_EQ(Prefixed(L"C:\\abc", &inserted, 10), L"C:\\abc");
    EXPECT_EQ(inserted, 0u);
    EXPECT_EQ(Prefixed(L"C:\\abc", &inserted, 11), L"\\\\?\\C:\\abc");
    EXPECT_EQ(inserted, 4u);
}

TEST(RemoveLongPathPrefix, GivesThePlainFormOfPrefixedPaths) {
    wchar_t out[64];
    ASSERT_TRUE(RemoveLongPathPrefix(L"\\\\?\\UNC\\srv\\share\\d", out, 64));
    EXPECT_STREQ(out, L"\\\\srv\\share\\d");
    ASSERT_TRUE(RemoveLongPathPrefix(L"\\\\?\\C:\\x", out, 64));
    EXPECT_STREQ(out, L"C:\\x");
    ASSERT_TRUE(RemoveLongPathPrefix(L"\\\\srv\\share", out, 64));
    EXPECT_STREQ(out, L"\\\\srv\\share");
    EXPECT_FALSE(RemoveLongPathPrefix(L"C:\\abcdef", out, 4));
}

TEST(GetVolumeRoot, TakesTheDriveOrTheServerAndShare) {
    EXPECT_EQ(Root(L"D:\\data\\x"), L"D:\\");
    EXPECT_EQ(Root(L"\\\\srv\\share\\a\\b"), L"\\\\srv\\share\\");
    EXPECT_EQ(Root(L"\\\\srv\\share"), L"\\\\srv\\share\\");
    EXPECT_EQ(Root(L"\\\\srv\\share\\"), L"\\\\srv\\share\\");
}

TEST(GetVolumeRoot, RefusesNullPointersAndRootsThatDoNotFit) {
    wchar_t root[kVolumeRootCapacity];
    EXPECT_EQ(GetVolumeRoot(nullptr, root), 0);
    EXPECT_EQ(GetVolumeRoot(L"C:\\", nullptr), 0);
    std::wstring longShare = L"\\\\srv\\" + std::wstring(200, L's') + L"\\dir";
    EXPECT_EQ(Root(longShare.c_str()), L"<none>");
}

TEST(FinalPathText, CutsEachKindOfFinalPathUpToItsRootAndNoFurther) {
    const struct {
        const wchar_t* path;
        std::vector<std::wstring> parents; // every folder above, nearest first
    } cases[] = {
        {L"\\\\?\\C:\\Users\\me\\Mail", {L"\\\\?\\C:\\Users\\me", L"\\\\?\\C:\\Users", L"\\\\?\\C:\\"}},
        {L"\\\\?\\C:\\a\\\\b\\", {L"\\\\?\\C:\\a", L"\\\\?\\C:\\"}},
        {L"\\\\?\\UNC\\server\\share\\dir\\x", {L"\\\\?\\UNC\\server\\share\\dir", L"\\\\?\\UNC\\server\\share\\"}},
        {L"\\\\?\\Volume{0042}\\windows", {L"\\\\?\\Volume{0042}\\"}},
        {L"\\\\?\\unix\\tmp\\home", {L"\\\\?\\unix\\tmp", L"\\\\?\\unix\\"}},
        {L"D:\\real\\sub", {L"D:\\real", L"D:\\"}},
        {L"\\\\server\\share\\d", {L"\\\\server\\share\\"}},
        {L"\\\\?\\C:\\", {}},
        {L"\\\\?\\UNC\\server", {}},
        {L"relative\\name", {}},
        {L"", {}},
    };
    for (const auto& c : cases) {
        std::wstring path = c.path;
        std::vector<std::wstring> parents;
        while (Ostra::CutToParent(&path) && parents.size() < 10)
            parents.push_back(path);
        EXPECT_EQ(parents, c.parents) << c.path;
    }
    EXPECT_EQ(Ostra::FinalPathRootLength(L"\\\\?\\C:\\x"), 7u);
    EXPECT_EQ(Ostra::FinalPathRootLength(L"\\\\?\\UNC\\s\\t\\x"), 12u);
}
