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

namespace {
void WriteFileText(const std::wstring& path, const char* text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}
} // namespace

TEST(DirectoryOps, FolderTestAndFullPathSeeThroughSpellings) {
    TestFolder root(L"fullpath");
    CreateDirectoryW((root / L"Tarn").c_str(), nullptr);
    WriteFileText(root / L"file", "x");
    EXPECT_TRUE(IsExistingFolder(root / L"Tarn"));
    EXPECT_FALSE(IsExistingFolder(root / L"file"));
    EXPECT_FALSE(IsExistingFolder(root / L"missing"));
    EXPECT_FALSE(IsExistingFolder(L""));

    const std::wstring tarn = FullPath(root / L"Tarn");
    EXPECT_EQ(FullPath(root / L"x\\..\\.\\Tarn\\\\"), tarn);
    EXPECT_EQ(FullPath(L"\\\\?\\" + root.path() + L"\\Tarn"), tarn);
    // A part that does not exist yet keeps its spelling after the resolved head.
    EXPECT_EQ(FullPath(root / L"Tarn\\x\\..\\New\\Profiles"), tarn + L"\\New\\Profiles");
    // Short names of existing folders come back long.
    wchar_t shortName[MAX_PATH] = {};
    if (GetShortPathNameW(tarn.c_str(), shortName, MAX_PATH) && tarn != shortName) {
        EXPECT_EQ(FullPath(shortName), tarn);
    }
}

TEST(DirectoryOps, InspectionTellsEmptyOccupiedAndUnfinishedApart) {
    TestFolder root(L"inspect");
    const std::wstring destination = root / L"Profiles";
    EXPECT_EQ(InspectDestination(destination).kind, DestinationContents::Kind::Missing);
    EXPECT_EQ(InspectDestination(root / L"no\\such\\Profiles").kind, DestinationContents::Kind::Missing);

    CreateDirectoryW(destination.c_str(), nullptr);
    EXPECT_EQ(InspectDestination(destination).kind, DestinationContents::Kind::Empty);

    // An empty subfolder is someone's data too.
    CreateDirectoryW((destination + L"\\sub").c_str(), nullptr);
    EXPECT_EQ(InspectDestination(destination).kind, DestinationContents::Kind::Occupied);

    const std::wstring source = L"C:\\用户\\harbec\\Tarn\\Profiles\\abcd1234.default";
    ASSERT_TRUE(MarkUnfinishedCopy(destination, source));
    DestinationContents contents = InspectDestination(destination);
    EXPECT_EQ(contents.kind, DestinationContents::Kind::LeftByEarlierRun);
    EXPECT_EQ(contents.markedSource, source);

    ASSERT_TRUE(ClearUnfinishedMark(destination));
    EXPECT_TRUE(ClearUnfinishedMark(destination)) << "clearing twice is no failure";
    EXPECT_EQ(InspectDestination(destination).kind, DestinationContents::Kind::Occupied);

    // A folder holding nothing but a mark is an unfinished copy that wrote no file yet.
    RemoveDirectoryW((destination + L"\\sub").c_str());
    ASSERT_TRUE(MarkUnfinishedCopy(destination + L"\\", source));
    EXPECT_EQ(InspectDestination(destination).kind, DestinationContents::Kind::LeftByEarlierRun);

    // A mark that is not text names no source.
    WriteFileText(destination + L"\\" + kUnfinishedMarkName, "\xff\xfe\xfd");
    contents = InspectDestination(destination);
    EXPECT_EQ(contents.kind, DestinationContents::Kind::LeftByEarlierRun);
    EXPECT_TRUE(contents.markedSource.empty());

    // An empty mark alone is all a run ended between making and writing it
    // leaves: the folder is as good as empty, and may be marked again.
    WriteFileText(destination + L"\\" + kUnfinishedMarkName, "");
    EXPECT_EQ(InspectDestination(destination).kind, DestinationContents::Kind::Empty);
    ASSERT_TRUE(MarkUnfinishedCopy(destination, source));
    EXPECT_EQ(InspectDestination(destination).markedSource, source);

    WriteFileText(root / L"plain", "x");
    EXPECT_EQ(InspectDestination(root / L"plain").kind, DestinationContents::Kind::NotAFolder);
    EXPECT_FALSE(MarkUnfinishedCopy(root / L"plain", source));
}

namespace {

void WriteText(const std::wstring& path, const char* text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text, DWORD(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

// An unfinished copy keeps exactly what the source still has: leftovers go
// (files, folders with their contents, read-only files), the mark and what
// the source has stay, and a read-only file with another name elsewhere is
// left alone rather than have that other name lose its attribute.
TEST(DirectoryOps, RemovesFromAnUnfinishedCopyWhatTheSourceNoLongerHas) {
    TestFolder root(L"mirror");
    const std::wstring source = root / L"src", copy = root / L"copy";
    for (const std::wstring& folder :
         {source, source + L"\\Mail", copy, copy + L"\\Mail", copy + L"\\Gone", copy + L"\\Gone\\deeper"})
        CreateDirectoryW(folder.c_str(), nullptr);
    WriteText(source + L"\\Mail\\Inbox", "kept");
    WriteText(copy + L"\\Mail\\Inbox", "kept");
    WriteText(copy + L"\\Mail\\Deleted", "old");
    WriteText(copy + L"\\Gone\\deeper\\x.msf", "old");
    WriteText(copy + L"\\readonly.dat", "old");
    SetFileAttributesW((copy + L"\\readonly.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(MarkUnfinishedCopy(copy, source));

    MirrorOutcome outcome = RemoveWhatSourceLacks(source, copy);
    EXPECT_TRUE(outcome.complete) << outcome.error << " "
                                  << std::string(outcome.failedPath.begin(), outcome.failedPath.end());
    EXPECT_EQ(outcome.removed, 5u); // Deleted, Gone, deeper, x.msf, readonly.dat
    EXPECT_TRUE(Exists(copy + L"\\Mail\\Inbox"));
    EXPECT_FALSE(Exists(copy + L"\\Mail\\Deleted"));
    EXPECT_FALSE(Exists(copy + L"\\Gone\\deeper\\x.msf"));
    EXPECT_FALSE(Exists(copy + L"\\Gone\\deeper"));
    EXPECT_FALSE(Exists(copy + L"\\Gone"));
    EXPECT_FALSE(Exists(copy + L"\\readonly.dat"));
    EXPECT_EQ(InspectDestination(copy).kind, DestinationContents::Kind::LeftByEarlierRun) << "the mark stays";

    const std::wstring outside = root / L"outside.dat";
    WriteText(outside, "theirs");
    SetFileAttributesW(outside.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateHardLinkW((copy + L"\\linked.dat").c_str(), outside.c_str(), nullptr));
    outcome = RemoveWhatSourceLacks(source, copy);
    EXPECT_FALSE(outcome.complete);
    EXPECT_EQ(outcome.failedPath, copy + L"\\linked.dat");
    EXPECT_TRUE(GetFileAttributesW(outside.c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(outside.c_str(), FILE_ATTRIBUTE_NORMAL);
}
