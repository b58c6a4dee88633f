// Deletions asked for with careless and hostile spellings, carried out for real
// against a scratch drive D: full of files. Runs only inside the sandbox that
// run-sandbox.sh prepares (no drive Z:, D: mapped to a scratch folder), and
// refuses to start anywhere else: a fault here must not reach real files.
#include "FakeInstallerStack.h"
#include "FolderDeletion.h"
#include "MachineIdentity.h"
#include "ProcessQueries.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <windows.h>

#include <cstdio>
#include <cwchar>
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

TEST_F(ScratchDrive, FolderSwappedForALinkMidDeletionLeavesTheLinkedFilesAlone) {
    // While D:\\race-go exists, run-sandbox.sh keeps swapping D:\\race\\sub for a link
    // to drive O:, a scratch folder of files that bear the names of those in sub.
    std::vector<std::wstring> outside;
    ListFiles(L"O:\\", L"", outside);
    ASSERT_EQ(outside.size(), 60u);
    // Under Wine a file set for deletion through its handle is removed by its
    // path when the handle closes, after a check that the path still leads to
    // it: a swap landing between that check and the removal sends that one
    // removal through the link (about one run in five here). Our walk never
    // follows the link; a walk that did empties O: in the first round. So a
    // round may cost O: at most one file, put back for the next round.
    int lostToWine = 0;
    for (int round = 0; round < 25; ++round) {
        // Built aside and moved in whole, so the swap never sends these writes to O:.
        for (const wchar_t* folder : {L"D:\\staging", L"D:\\staging\\sub", L"D:\\staging\\sub\\inner"})
            CreateDirectoryW(folder, nullptr);
        for (int i = 0; i < 30; ++i) {
            WriteTextFile(L"D:\\staging\\sub\\" + std::to_wstring(i) + L".txt", "x");
            WriteTextFile(L"D:\\staging\\sub\\inner\\" + std::to_wstring(i) + L".txt", "x");
        }
        ASSERT_TRUE(MoveFileW(L"D:\\staging", L"D:\\race"));
        WriteTextFile(L"D:\\race-go", "go");
        // 0 when the check met the link in place: the folder then holds drive O:'s root.
        const int deleted = DeleteFolder(L"D:\\race");
        EXPECT_TRUE(deleted == 0 || deleted == 1) << deleted;
        DeleteFileW(L"D:\\race-go");
        std::vector<std::wstring> now;
        ListFiles(L"O:\\", L"", now);
        ASSERT_GE(now.size() + 1, outside.size()) << "round " << round;
        for (const std::wstring& name : outside) {
            if (std::find(now.begin(), now.end(), name) == now.end()) {
                ++lostToWine;
                WriteTextFile(L"O:\\" + name, "precious\n");
            }
        }
        // Once the swap has let go, what it kept from the deletion goes too.
        Sleep(50);
        const int left = PathExists(L"D:\\race") ? 1 : 0;
        EXPECT_EQ(DeleteFolder(L"D:\\race"), left);
        ASSERT_FALSE(PathExists(L"D:\\race")) << "round " << round;
    }
    EXPECT_LE(lostToWine, 2);
    EXPECT_EQ(DriveFiles(), files);
}

TEST_F(ScratchDrive, FolderKeptByAFileInUseIsScheduledAfterItDeepestFirst) {
    for (const wchar_t* folder : {L"D:\\locked", L"D:\\locked\\deep", L"D:\\locked\\deep\\inner"})
        CreateDirectoryW(folder, nullptr);
    WriteTextFile(L"D:\\locked\\free.txt", "free");
    WriteTextFile(L"D:\\locked\\deep\\inner\\held.txt", "held");
    HANDLE holder =
        CreateFileW(L"D:\\locked\\deep\\inner\\held.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(DeleteFolder(L"D:\\locked"), 1);
    CloseHandle(holder);
    EXPECT_FALSE(PathExists(L"D:\\locked\\free.txt"));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    DWORD size = 0;
    RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size);
    std::vector<wchar_t> value(size / sizeof(wchar_t) + 2);
    const LONG read = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(value.data()), &size);
    RegDeleteValueW(key, L"PendingFileRenameOperations");
    RegCloseKey(key);
    ASSERT_EQ(read, ERROR_SUCCESS);
    // Pairs of source and target; an empty target means "delete".
    std::vector<std::wstring> scheduled;
    for (size_t at = 0; at < size / sizeof(wchar_t) && value[at];) {
        const std::wstring source = value.data() + at;
        at += source.size() + 1;
        const std::wstring target = value.data() + at;
        at += target.size() + 1;
        if (target.empty())
            scheduled.push_back(source);
    }
    const std::vector<std::wstring> expected = {L"\\??\\D:\\locked\\deep\\inner\\held.txt",
                                                L"\\??\\D:\\locked\\deep\\inner", L"\\??\\D:\\locked\\deep",
                                                L"\\??\\D:\\locked"};
    EXPECT_EQ(scheduled, expected);
    DeleteFolder(L"D:\\locked");
}

// run-sandbox.sh maps B: to the same folder as C:, H: to the sandbox's own
// folder, which holds the prefix, the scratch drive (H:\drive-d is D:\) and the
// folder the profile's Documents link to (H:\home), and J: to D:\holder\inner.
std::wstring OnB(const std::wstring& path) {
    return L"B:" + path.substr(2);
}

std::wstring ShortName(const std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : L"";
}

TEST(SandboxIdentity, ProtectedFoldersAndRootsAreRefusedUnderEveryName) {
    wchar_t windows[MAX_PATH] = {}, profile[MAX_PATH] = {}, programs[MAX_PATH] = {};
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 2u);
    ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH), 2u);
    ASSERT_GT(GetEnvironmentVariableW(L"ProgramFiles", programs, MAX_PATH), 2u);
    const std::wstring documents = std::wstring(profile) + L"\\Documents";
    const std::wstring kept[] = {std::wstring(windows) + L"\\system32\\mine.txt", documents + L"\\mine.txt",
                                 std::wstring(programs) + L"\\mine.txt", kDrive + L"top.txt", L"J:\\mine.txt"};
    for (const std::wstring& file : kept)
        WriteTextFile(file, "mine");
    ASSERT_TRUE(PathExists(L"H:\\home\\mine.txt")) << "H:\\home is not the folder Documents links to";
    const std::wstring names[] = {
        OnB(windows),
        OnB(windows) + L"\\system32",
        OnB(programs),
        ShortName(OnB(programs)),
        OnB(profile),
        L"B:\\users",
        L"H:\\home",
        OnB(documents),
        L"H:\\drive-d",
        // Folders that hold a drive's root: the prefix holds C:\, D:\holder holds J:\.
        L"H:\\prefix",
        L"D:\\holder",
        L"D:\\holder\\inner",
        L"H:\\prefix\\drive_c",
        L"\\\\?\\B:\\users\\.\\..\\users",
    };
    for (const std::wstring& name : names) {
        ASSERT_FALSE(name.empty());
        EXPECT_EQ(DeleteFolder(name), 0) << name;
        EXPECT_EQ(CallWithArgument(&NSISDeleteFolder, name), L"0") << name;
        EXPECT_EQ(DLLDeleteFolder(name.c_str()), 0) << name;
        for (const std::wstring& file : kept)
            ASSERT_TRUE(PathExists(file)) << file << " deleted through " << name;
    }
    // Their subfolders stay deletable under another name.
    const std::wstring victims[] = {L"B:\\users\\Public\\victim", OnB(documents) + L"\\victim", L"H:\\drive-d\\victim"};
    for (const std::wstring& victim : victims) {
        CreateDirectoryW(victim.c_str(), nullptr);
        WriteTextFile(victim + L"\\x.txt", "x");
        EXPECT_EQ(CallWithArgument(&NSISDeleteFolder, victim), L"1") << victim;
        EXPECT_FALSE(PathExists(victim)) << victim;
    }
    for (const std::wstring& file : kept)
        DeleteFileW(file.c_str());
}

TEST(SandboxIdentity, ARunningProgramIsFoundUnderEveryNameOfItsFile) {
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::wstring folder = L"D:\\Long Folder Name";
    const std::wstring program = folder + L"\\中文 邮件程序.exe";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(self, program.c_str(), FALSE));
    std::wstring command = L"\"" + program + L"\" --idle";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(
        CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    Sleep(500);
    const std::wstring shortName = ShortName(program);
    ASSERT_NE(shortName, L"");
    ASSERT_NE(shortName, program);
    const std::wstring names[] = {program, shortName, L"H:\\drive-d\\Long Folder Name\\中文 邮件程序.exe",
                                  L"\\\\?\\H:\\drive-d\\" + shortName.substr(3)};
    for (const std::wstring& name : names) {
        EXPECT_EQ(IsProcessRunningByFilePath(name), 1) << name;
        EXPECT_EQ(CallWithArgument(&NSISIsProcessRunningByFilePath, name), L"1") << name;
    }
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (const std::wstring& name : names)
        EXPECT_EQ(IsProcessRunningByFilePath(name), 0) << name;
    DeleteFileW(program.c_str());
    RemoveDirectoryW(folder.c_str());
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
    // A copy of this program started to be found running under other names.
    if (argc == 2 && std::wcscmp(argv[1], L"--idle") == 0) {
        Sleep(60000);
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    // The sealed prefix has no drive Z: (the host's root), and D: is the scratch folder marked as such.
    if (GetDriveTypeW(L"Z:\\") != DRIVE_NO_ROOT_DIR || GetDriveTypeW(kDrive.c_str()) == DRIVE_NO_ROOT_DIR ||
        GetFileAttributesW(L"D:\\sandbox-scratch-drive") == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "refusing to run: not inside the sandbox prefix of run-sandbox.sh\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
