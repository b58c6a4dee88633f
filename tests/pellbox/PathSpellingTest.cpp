// Reading path spellings, and which folders a deletion refuses. Nothing here
// deletes: the deletions themselves are tried on a scratch drive by the sandbox suite.
#include "FakeInstallerStack.h"
#include "FolderDeletion.h"
#include "PathSpelling.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace {

std::wstring Normalised(const std::wstring& path) {
    bool literal = false;
    return NormaliseAbsolutePath(StripDevicePrefix(path, &literal), !literal);
}

} // namespace

TEST(PathSpelling, EveryDriveRootSpellingIsTheRoot) {
    for (const wchar_t* root : {L"D:\\", L"D:/", L"d:\\", L"D:\\\\", L"D:\\.", L"D:\\..", L"D:\\sub\\..",
                                L"D:\\sub\\deep\\..\\..", L"D:\\sub/./deep//..\\..\\..", L"\\\\?\\D:\\", L"\\??\\D:\\",
                                L"\\\\.\\D:\\", L"//?/D:/", L"\\\\?\\\\\\?\\D:\\", L"D:\\...", L"D:\\ ."}) {
        const std::wstring normalised = Normalised(root);
        EXPECT_TRUE(IsVolumeRoot(normalised)) << root << L" -> " << normalised;
    }
    EXPECT_EQ(Normalised(L"d:\\sub\\.."), L"d:\\");
}

TEST(PathSpelling, ShareRootsAndSharePaths) {
    for (const wchar_t* root :
         {L"\\\\server\\share", L"\\\\server\\share\\", L"//server/share/x/..", L"\\\\?\\UNC\\server\\share\\",
          L"\\\\.\\unc\\server\\share", L"\\??\\UNC\\server\\share\\."}) {
        const std::wstring normalised = Normalised(root);
        EXPECT_EQ(normalised, L"\\\\server\\share\\") << root;
        EXPECT_TRUE(IsVolumeRoot(normalised)) << root;
    }
    EXPECT_EQ(Normalised(L"\\\\server\\share\\\\dir\\.\\app"), L"\\\\server\\share\\dir\\app");
    EXPECT_EQ(LiteralPath(L"\\\\server\\share\\dir"), L"\\\\?\\UNC\\server\\share\\dir");
    EXPECT_EQ(LiteralPath(L"D:\\dir"), L"\\\\?\\D:\\dir");
}

TEST(PathSpelling, PathsThatDependOnTheCurrentDirectoryAreNotAbsolute) {
    std::vector<const wchar_t*> spellings = {L"", L"\\", L"/", L".", L"..", L"sub", L"sub\\deep", L"\\sub"};
    // Drive-relative: the current directory of drive D.
    spellings.insert(spellings.end(), {L"D:", L"D:sub", L"D:.", L"1:\\x"});
    // Shares without a server or share name, and device paths that are no drive.
    spellings.insert(spellings.end(), {L"\\\\", L"\\\\server", L"\\\\server\\", L"\\\\\\server\\share"});
    spellings.insert(spellings.end(), {L"\\\\..\\share", L"\\\\?\\D:", L"//./D:", L"\\\\?\\Volume{1}\\"});
    spellings.insert(spellings.end(), {L"\\\\?\\GLOBALROOT\\Device\\X\\", L"\\Device\\Volume1\\", L"\\\\?\\unix\\etc"});
    for (const wchar_t* relative : spellings) {
        EXPECT_EQ(AbsoluteRootLength(StripDevicePrefix(relative)), 0u) << relative;
        EXPECT_EQ(Normalised(relative), L"") << relative;
    }
}

TEST(PathSpelling, NamesKeepTheirSpellingExceptWhereTheSystemTrimsThem) {
    EXPECT_EQ(Normalised(L"D:\\a\\b\\..\\c\\"), L"D:\\a\\c");
    EXPECT_EQ(Normalised(L"D:\\a\\b. "), L"D:\\a\\b");
    bool literal = false;
    const std::wstring stripped = StripDevicePrefix(L"\\\\?\\D:\\a\\b.", &literal);
    EXPECT_TRUE(literal);
    EXPECT_EQ(NormaliseAbsolutePath(stripped, false), L"D:\\a\\b.");
    StripDevicePrefix(L"\\\\.\\D:\\a", &literal);
    EXPECT_FALSE(literal);
}

TEST(PathSpelling, HoldingFolders) {
    EXPECT_TRUE(IsSameOrHoldingFolder(L"C:\\Users", L"C:\\Users"));
    EXPECT_TRUE(IsSameOrHoldingFolder(L"C:\\Users", L"C:\\Users\\me\\Desktop"));
    EXPECT_TRUE(IsSameOrHoldingFolder(L"C:\\", L"C:\\Windows"));
    EXPECT_FALSE(IsSameOrHoldingFolder(L"C:\\User", L"C:\\Users"));
    EXPECT_FALSE(IsSameOrHoldingFolder(L"C:\\Users\\me\\Desktop\\old", L"C:\\Users\\me\\Desktop"));
    EXPECT_FALSE(IsSameOrHoldingFolder(L"", L"C:\\Windows"));
}

TEST(DeletableFolder, RefusesRootsRelativePathsAndTheSystemsTopFolders) {
    for (const wchar_t* path :
         {L"C:\\", L"c:/", L"C:\\\\", L"C:\\.", L"C:\\..", L"C:\\windows\\..", L"\\\\?\\C:\\", L"\\??\\C:\\",
          L"\\\\.\\C:\\", L"C:", L"C:windows", L"\\", L"/", L".", L"..", L"windows", L"\\\\?\\unix\\tmp"}) {
        EXPECT_EQ(DeletableFolder(path), L"") << path;
    }
    const std::vector<std::wstring> systemFolders = SystemTopFolders();
    EXPECT_GE(systemFolders.size(), 10u);
    for (const std::wstring& folder : systemFolders) {
        EXPECT_EQ(DeletableFolder(folder), L"") << folder;
        EXPECT_EQ(DeletableFolder(L"\\\\?\\" + folder + L"\\"), L"") << folder;
        EXPECT_EQ(DeletableFolder(folder + L"\\sub\\.."), L"") << folder;
    }
    // The users folder holds every profile, and the profile its Desktop.
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(DeletableFolder(std::wstring(windows) + L"\\SYSTEM32"), L"");
    EXPECT_EQ(DeletableFolder(std::wstring(windows) + L"/./system32/../Sysnative"), L"");
}

TEST(DeletableFolder, SubfoldersStayDeletableInTheirNormalSpelling) {
    const std::wstring dir = MakeScratchDirectory(L"deletable");
    const std::wstring folder = dir.substr(0, dir.size() - 1);
    EXPECT_EQ(DeletableFolder(dir), folder);
    EXPECT_EQ(DeletableFolder(dir + L"x\\..\\\\"), folder);
    EXPECT_EQ(DeletableFolder(L"\\\\?\\" + folder), L"\\\\?\\" + folder);
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(DeletableFolder(std::wstring(windows) + L"\\Temp\\setup-1"), std::wstring(windows) + L"\\Temp\\setup-1");
    RemoveDirectoryW(folder.c_str());
}

TEST(FolderDeletion, RefusedPathsLeaveEverythingAndPushZero) {
    // Only spellings whose refusal cannot harm this prefix when it fails: a folder of our own.
    const std::wstring dir = MakeScratchDirectory(L"refused");
    WriteTextFile(dir + L"keep.txt", "k");
    SetCurrentDirectoryW(dir.c_str());
    for (const wchar_t* path : {L".", L".\\", L"keep.txt\\.."}) {
        EXPECT_EQ(DeleteFolder(path), 0) << path;
        EXPECT_EQ(CallWithArgument(&NSISDeleteFolder, path), L"0") << path;
    }
    EXPECT_TRUE(PathExists(dir + L"keep.txt"));
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    SetCurrentDirectoryW(temp);
    EXPECT_EQ(DeleteFolder(dir), 1);
    EXPECT_FALSE(PathExists(dir));
}
