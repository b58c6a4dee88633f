#include "ProcessMatch.h"

#include <gtest/gtest.h>

namespace {

ProcessEntry Entry(uint32_t id, uint32_t parentId, const wchar_t* name) {
    ProcessEntry entry;
    entry.id = id;
    entry.parentId = parentId;
    entry.exeName = name;
    return entry;
}

const std::vector<ProcessEntry> kSnapshot = {
    Entry(0, 0, L"[System Process]"),  Entry(4, 0, L"System"),
    Entry(100, 4, L"explorer.exe"),    Entry(200, 100, L"setup.exe"),
    Entry(300, 200, L"ostramail.exe"), Entry(400, 999, L"Änderung.exe"),
};
constexpr uint32_t kOwnId = 200;

} // namespace

TEST(ProcessMatch, CaseFoldsOnlyAsciiLetters) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase(L"OSTRAMAIL.EXE", L"ostramail.exe"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"änderung.exe", L"Änderung.exe"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"ostramail.ex", L"ostramail.exe"));

    EXPECT_TRUE(AnyProcessNamed(kSnapshot, kOwnId, L"OSTRAMAIL.EXE"));
    EXPECT_FALSE(AnyProcessNamed(kSnapshot, kOwnId, L"änderung.exe"));
    EXPECT_FALSE(AnyProcessNamed(kSnapshot, kOwnId, L"setup.exe")); // the caller itself
    EXPECT_FALSE(AnyProcessNamed(kSnapshot, kOwnId, L"system"));    // ids 0 and 4
    EXPECT_FALSE(AnyProcessNamed(kSnapshot, kOwnId, L""));
}

TEST(ProcessMatch, ImagePathQueryOpensOnlyCandidatesAndComparesWholePaths) {
    std::vector<uint32_t> asked;
    auto imagePathOf = [&](uint32_t id, std::wstring& path) {
        asked.push_back(id);
        if (id == 100)
            return false; // cannot be opened
        path = id == 300 ? L"C:\\Program Files\\Ostra\\ostramail.exe" : L"C:\\setup.exe";
        return true;
    };
    EXPECT_TRUE(AnyProcessWithImagePath(kSnapshot, kOwnId, L"c:\\program files\\ostra\\OSTRAMAIL.exe", imagePathOf));
    EXPECT_EQ(asked, (std::vector<uint32_t>{100, 300}));
    EXPECT_FALSE(AnyProcessWithImagePath(kSnapshot, kOwnId, L"C:\\Program Files\\Ostra", imagePathOf));
    EXPECT_FALSE(AnyProcessWithImagePath(kSnapshot, kOwnId, L"", imagePathOf));

    // Another name of the file (a short name, another drive letter) is found by
    // the identity check, which is never asked about the caller itself.
    std::vector<uint32_t> identityAsked;
    auto runsTarget = [&](uint32_t id) {
        identityAsked.push_back(id);
        return id == 300;
    };
    EXPECT_TRUE(AnyProcessWithImagePath(kSnapshot, kOwnId, L"D:\\OSTRA~1\\OSTRAM~1.EXE", imagePathOf, runsTarget));
    EXPECT_EQ(identityAsked, (std::vector<uint32_t>{100, 300}));
}

TEST(ProcessMatch, DeviceFormReplacesTheDrive) {
    EXPECT_EQ(DeviceFormPath(L"D:\\Program Files\\App\\app.exe", L"\\Device\\HarddiskVolume3"),
              L"\\Device\\HarddiskVolume3\\Program Files\\App\\app.exe");
    EXPECT_EQ(DeviceFormPath(L"D:\\", L"\\Device\\HarddiskVolume3"), L"\\Device\\HarddiskVolume3\\");
    EXPECT_EQ(DeviceFormPath(L"D:\\a", L"\\Device\\X\\"), L"\\Device\\X\\a");
    EXPECT_EQ(DeviceFormPath(L"D:\\a", L""), L"a");
}

TEST(ProcessMatch, ImagePathsAreComparedInOneSpelling) {
    auto imagePathOf = [](uint32_t id, std::wstring& path) {
        path = id == 300 ? L"E:\\procs\\App.exe" : L"\\\\?\\E:\\other\\tool.exe";
        return true;
    };
    for (const wchar_t* spelling : {L"E:/procs/app.exe", L"E:\\procs\\..\\procs\\app.exe", L"e:\\\\procs\\app.exe",
                                    L"E:\\procs\\.\\APP.EXE", L"\\\\?\\E:\\procs\\app.exe", L"E:\\other\\tool.exe"}) {
        EXPECT_TRUE(AnyProcessWithImagePath(kSnapshot, kOwnId, spelling, imagePathOf)) << spelling;
    }
    for (const wchar_t* other : {L"E:\\procs\\app.ex", L"E:\\app.exe", L"procs\\app.exe", L"E:\\procs\\app.exe\\x"})
        EXPECT_FALSE(AnyProcessWithImagePath(kSnapshot, kOwnId, other, imagePathOf)) << other;
    EXPECT_EQ(ComparablePath(L"\\Device\\HarddiskVolume2\\procs\\app.exe"),
              L"\\Device\\HarddiskVolume2\\procs\\app.exe");
    EXPECT_EQ(DeviceFormPath(ComparablePath(L"C:\\\\dir\\app.exe"), L"\\Device\\HarddiskVolume1"),
              L"\\Device\\HarddiskVolume1\\dir\\app.exe");
}

TEST(ProcessMatch, DirectoryFileInUseOnlyWhenLockedOrRunningFromThere) {
    std::vector<std::wstring> candidates;
    ProgramFileState state = ProgramFileState::Locked;
    std::wstring image = L"D:\\Ostra\\ostramail.exe";
    auto probe = [&](const std::wstring& candidate) {
        candidates.push_back(candidate);
        return candidate == L"D:\\Ostra\\ostramail.exe" ? state : ProgramFileState::Missing;
    };
    auto imagePathOf = [&](uint32_t id, std::wstring& path) {
        path = id == 300 ? image : L"C:\\elsewhere.exe";
        return true;
    };
    EXPECT_TRUE(AnyProgramInUseInDirectory(kSnapshot, kOwnId, L"D:\\Ostra\\", probe, imagePathOf));
    EXPECT_EQ(candidates.back(), L"D:\\Ostra\\ostramail.exe");

    // Refused, e.g. read-only without rights: in use only when that process started from this very file.
    state = ProgramFileState::Refused;
    EXPECT_TRUE(AnyProgramInUseInDirectory(kSnapshot, kOwnId, L"D:\\Ostra\\", probe, imagePathOf));
    image = L"D:/Ostra//OSTRAMAIL.exe";
    EXPECT_TRUE(AnyProgramInUseInDirectory(kSnapshot, kOwnId, L"D:\\Ostra\\", probe, imagePathOf));
    image = L"C:\\Program Files\\Ostra\\ostramail.exe";
    EXPECT_FALSE(AnyProgramInUseInDirectory(kSnapshot, kOwnId, L"D:\\Ostra\\", probe, imagePathOf));
    state = ProgramFileState::Free;
    image = L"D:\\Ostra\\ostramail.exe";
    EXPECT_FALSE(AnyProgramInUseInDirectory(kSnapshot, kOwnId, L"D:\\Ostra\\", probe, imagePathOf));

    candidates.clear();
    EXPECT_FALSE(AnyProgramInUseInDirectory(kSnapshot, kOwnId, L"D:\\Ostra", probe, imagePathOf));
    EXPECT_EQ(candidates[0], L"D:\\Ostraexplorer.exe");
}

TEST(ProcessMatch, ParentNameNeedsBothEntries) {
    EXPECT_EQ(ParentProcessName(kSnapshot, 300), L"setup.exe");
    EXPECT_EQ(ParentProcessName(kSnapshot, 400), L"");  // parent gone
    EXPECT_EQ(ParentProcessName(kSnapshot, 4242), L""); // caller not listed
    EXPECT_EQ(FindProcessEntry(kSnapshot, 4242).id, kNoProcessId);
}
