// Deletions asked for with careless and hostile spellings, carried out for real
// against a scratch drive D: full of files. Runs only inside the sandbox that
// run-sandbox.sh prepares (no drive Z:, D: mapped to a scratch folder), and
// refuses to start anywhere else: a fault here must not reach real files.
#include "FakeInstallerStack.h"
#include "FolderDeletion.h"
#include "MachineIdentity.h"
#include "ProcessQueries.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::wstring kDrive = L"D:\\";

// Every file below folder, as paths relative to it; links to folders are not followed.
void ListFiles(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>& files) {
    WIN32_FIND_DATAW entry = {};
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + name + L"\\", prefix + name + L"\\", files);
        else
            files.push_back(prefix + name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

std::vector<std::wstring> DriveFiles() {
    std::vector<std::wstring> files;
    ListFiles(kDrive, L"", files);
    return files;
}

class ScratchDrive : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* folder : {L"sub", L"sub\\deep", L"keep", L"keep\\只读"})
            CreateDirectoryW((kDrive + folder).c_str(), nullptr);
        for (const wchar_t* file :
             {L"top.txt", L"sub\\a.txt", L"sub\\deep\\b.txt", L"keep\\c.txt", L"keep\\只读\\d.txt"})
            WriteTextFile(kDrive + file, "precious");
        SetFileAttributesW((kDrive + L"keep\\只读\\d.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        files = DriveFiles();
        ASSERT_GE(files.size(), 5u);
        ASSERT_TRUE(SetCurrentDirectoryW(L"D:\\sub\\deep"));
    }

    std::vector<std::wstring> files;
};

} // namespace

TEST_F(ScratchDrive, RootsAndRelativePathsAreRefusedAndNothingIsDeleted) {
    const wchar_t* const spellings[] = {L"D:\\", L"D:/", L"d:\\", L"D:\\\\", L"D:\\.", L"D:\\..", L"D:\\sub\\..",
                                        L"D:\\sub\\deep\\..\\..", L"\\\\?\\D:\\", L"\\??\\D:\\", L"\\\\.\\D:\\",
                                        L"//?/D:/", L"\\\\?\\D:", L"D:\\ ", L"D:\\...",
                                        // Relative to the working directory D:\sub\deep, or to the current drive.
                                        L"\\", L"/", L"..", L"..\\..", L".", L"", L"D:", L"D:.", L"D:..", L"D:sub",
                                        L"deep", L"..\\deep", L"\\sub", L"\\\\?\\sub\\deep"};
    for (const wchar_t* spelling : spellings) {
        EXPECT_EQ(DeleteFolder(spelling), 0) << spelling;
        EXPECT_EQ(CallWithArgument(&NSISDeleteFolder, spelling), L"0") << spelling;
        EXPECT_EQ(DLLDeleteFolder(spelling), 0) << spelling;
        ASSERT_EQ(DriveFiles(), files) << "deleted by " << spelling;
    }
}

TEST_F(ScratchDrive, SubfoldersAreStillDeletedInAnySpelling) {
    ASSERT_TRUE(SetCurrentDirectoryW(kDrive.c_str()));
    const wchar_t* const spellings[] = {L"D:\\victim", L"D:/victim/", L"D:\\sub\\..\\victim\\.", L"\\\\?\\D:\\victim",
                                        L"\\\\.\\D:\\victim\\\\"};
    for (const wchar_t* spelling : spellings) {
        CreateDirectoryW(L"D:\\victim", nullptr);
        CreateDirectoryW(L"D:\\victim\\inner", nullptr);
        WriteTextFile(L"D:\\victim\\inner\\x.txt", "x");
        EXPECT_EQ(CallWithArgument(&NSISDeleteFolder, spelling), L"1") << spelling;
        EXPECT_FALSE(PathExists(L"D:\\victim")) << spelling;
        EXPECT_EQ(DriveFiles(), files) << spelling;
    }
}

TEST_F(ScratchDrive, SystemFoldersReachedThroughALinkAreRefused) {
    // run-sandbox.sh links D:\\users to the prefix's own users folder.
    wchar_t buffer[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", buffer, MAX_PATH), 0u);
    const std::wstring profile = buffer;
    const std::wstring user = profile.substr(profile.find_last_of(L'\\') + 1);
    const std::wstring throughLink = L"D:\\users\\" + user + L"\\Documents";
    ASSERT_TRUE(PathExists(throughLink)) << throughLink;
    WriteTextFile(profile + L"\\Documents\\mine.txt", "mine");
    EXPECT_EQ(DeleteFolder(throughLink), 0);
    EXPECT_EQ(DeleteFolder(L"D:\\users\\" + user), 0);
    EXPECT_TRUE(PathExists(profile + L"\\Documents\\mine.txt"));
    DeleteFileW((profile + L"\\Documents\\mine.txt").c_str());
}

TEST(SandboxProcessQueries, ReadOnlyProgramFileIsNotInUse) {
    // services.exe runs in every prefix; a never-started read-only file of that name is not it.
    CreateDirectoryW(L"D:\\ro", nullptr);
    const std::wstring program = L"D:\\ro\\services.exe";
    WriteTextFile(program, "MZ");
    SetFileAttributesW(program.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE probe = CreateFileW(program.c_str(), GENERIC_ALL, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool refused = probe == INVALID_HANDLE_VALUE;
    if (!refused)
        CloseHandle(probe);
    else
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    std::printf("read-only program file %s\n", refused ? "refuses the exclusive open" : "opens (running as root?)");
    EXPECT_EQ(IsProcessRunningByDirectory(L"D:\\ro\\"), 0);
    EXPECT_EQ(CallWithArgument(&NSISIsProcessRunningByDirectory, L"D:\\ro\\"), L"0");

    // Open elsewhere, it is in use, read-only or not.
    HANDLE holder = CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(IsProcessRunningByDirectory(L"D:\\ro\\"), 1);
    SetFileAttributesW(program.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(IsProcessRunningByDirectory(L"D:\\ro\\"), 1);
    CloseHandle(holder);
    EXPECT_EQ(IsProcessRunningByDirectory(L"D:\\ro\\"), 0);
}

TEST(SandboxLibraries, PlantedSystemLibrariesBesideTheProgramAreNotLoaded) {
    // run-sandbox.sh puts stand-ins for Iphlpapi.dll and Psapi.dll beside this
    // program; each writes a marker beside itself when it is loaded.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    folder.erase(folder.find_last_of(L'\\') + 1);
    ASSERT_TRUE(PathExists(folder + L"Iphlpapi.dll"));
    ASSERT_TRUE(PathExists(folder + L"Psapi.dll"));

    GetMacAddressList();
    IsProcessRunningByFilePath(L"C:\\windows\\system32\\services.exe");
    EXPECT_FALSE(PathExists(folder + L"planted-iphlpapi.dll-loaded"));
    EXPECT_FALSE(PathExists(folder + L"planted-psapi.dll-loaded"));
}

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The sealed prefix has no drive Z: (the host's root), and D: is the scratch folder marked as such.
    if (GetDriveTypeW(L"Z:\\") != DRIVE_NO_ROOT_DIR || GetDriveTypeW(kDrive.c_str()) == DRIVE_NO_ROOT_DIR ||
        GetFileAttributesW(L"D:\\sandbox-scratch-drive") == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "refusing to run: not inside the sandbox prefix of run-sandbox.sh\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
