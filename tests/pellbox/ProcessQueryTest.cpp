#include "FakeInstallerStack.h"
#include "ProcessQueries.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

TEST(ProcessQueries, DeviceFormOfAProgramPathIsItsImageFileName) {
    wchar_t own[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, own, MAX_PATH), 3u);
    const wchar_t drive[3] = {own[0], L':', L'\0'};
    wchar_t device[MAX_PATH] = {};
    ASSERT_NE(QueryDosDeviceW(drive, device, MAX_PATH), 0u);
    wchar_t image[MAX_PATH] = {};
    DWORD length = GetProcessImageFileNameW(GetCurrentProcess(), image, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_TRUE(EqualsIgnoringAsciiCase(DeviceFormPath(own, device), std::wstring(image, length)))
        << "device form of the module path differs from the image file name";
}

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

    // Spellings of the path of a program that runs.
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring services = std::wstring(system) + L"\\services.exe";
    EXPECT_EQ(IsProcessRunningByFilePath(services), 1);
    std::wstring slashed = services;
    for (wchar_t& c : slashed)
        c = c == L'\\' ? L'/' : c;
    EXPECT_EQ(IsProcessRunningByFilePath(slashed), 1) << slashed;
    EXPECT_EQ(IsProcessRunningByFilePath(std::wstring(system) + L"\\\\.\\..\\system32\\services.exe"), 1);
    EXPECT_EQ(IsProcessRunningByFilePath(L"\\\\?\\" + services), 1);
    EXPECT_EQ(IsProcessRunningByFilePath(services + L"\\x\\.."), 1);
    EXPECT_EQ(IsProcessRunningByFilePath(std::wstring(system) + L"\\other\\services.exe"), 0);

    // A folder that merely has a process's name is no program file.
    DeleteFileW(program.c_str());
    CreateDirectoryW(program.c_str(), nullptr);
    EXPECT_EQ(IsProcessRunningByDirectory(dir), 0);
    RemoveDirectoryW(program.c_str());
    RemoveDirectoryW(dir.c_str());
}
