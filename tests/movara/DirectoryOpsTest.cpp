#include "DirectoryOps.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

TEST(DirectoryOps, ExistsForDirectoriesOnly) {
    TestFolder root(L"exists");
    EXPECT_TRUE(DirectoryExists(root.path()));
    EXPECT_TRUE(DirectoryExists(root.path() + L"\\"));
    EXPECT_FALSE(DirectoryExists(root / L"missing"));

    std::wstring file = root / L"plain";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_FALSE(DirectoryExists(std::wstring(300, L'a')));
}

TEST(DirectoryOps, CreatesEveryMissingLevelAndKeepsExistingOnes) {
    TestFolder root(L"create");
    std::wstring deep = root / L"新目录\\a\\\\b\\Profiles\\";
    ASSERT_TRUE(CreateDirectoryPath(deep));
    EXPECT_TRUE(DirectoryExists(root / L"新目录\\a\\b\\Profiles"));

    // An existing destination is used as it is, contents and all.
    std::wstring marker = root / L"新目录\\a\\b\\Profiles\\keep.txt";
    CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_TRUE(CreateDirectoryPath(deep));
    EXPECT_NE(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES);

    // Without a trailing separator the last component is left alone.
    EXPECT_TRUE(CreateDirectoryPath(root / L"x\\y"));
    EXPECT_TRUE(DirectoryExists(root / L"x"));
    EXPECT_FALSE(DirectoryExists(root / L"x\\y"));
}

TEST(DirectoryOps, FailsWhenAPlainFileHoldsTheName) {
    TestFolder root(L"blocked");
    std::wstring file = root / L"Profiles";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_FALSE(CreateDirectoryPath(file + L"\\"));
    EXPECT_FALSE(CreateDirectoryPath(file + L"\\deeper\\"));
    EXPECT_FALSE(CreateDirectoryPath(root.path() + L"\\" + std::wstring(300, L'a') + L"\\"));
}
