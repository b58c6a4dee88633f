#include "FakeInstallerStack.h"
#include "ProcessQueries.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(ProcessQueries, DirectoryQueryFindsLockedProgramFiles) {
    const std::wstring dir = MakeScratchDirectory(L"dir");
    const std::wstring program = dir + L"services.exe";
    WriteTextFile(program, "MZ");
    EXPECT_EQ(IsProcessRunningByDirectory(dir), 0); // exists, but opens exclusively

    HANDLE holder = CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(IsProcessRunningByDirectory(dir), 1);
    EXPECT_EQ(CallWithArgument(&NSISIsProcessRunningByDirectory, dir), L"1");
    std::wstring withoutSeparator = dir.substr(0, dir.size() - 1);
    EXPECT_EQ(IsProcessRunningByDirectory(withoutSeparator), 0);
    CloseHandle(holder);

    // A folder that merely has a process's name is no program file.
    DeleteFileW(program.c_str());
    CreateDirectoryW(program.c_str(), nullptr);
    EXPECT_EQ(IsProcessRunningByDirectory(dir), 0);
    RemoveDirectoryW(program.c_str());
    RemoveDirectoryW(dir.c_str());
}
