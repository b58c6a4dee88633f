#include "FakeInstallerStack.h"
#include "FileIdentity.h"
#include "FolderDeletion.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::wstring MakeTree(const std::wstring& label) {
    const std::wstring root = MakeScratchDirectory(label);
    CreateDirectoryW((root + L"sub").c_str(), nullptr);
    CreateDirectoryW((root + L"sub\\深层").c_str(), nullptr);
    WriteTextFile(root + L"a.txt", "a");
    WriteTextFile(root + L"sub\\readonly.txt", "r");
    SetFileAttributesW((root + L"sub\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteTextFile(root + L"sub\\深层\\hidden.dat", "h");
    SetFileAttributesW((root + L"sub\\深层\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    return root;
}

} // namespace

TEST(FolderDeletion, RemovesWholeTreeWithReadOnlyFilesWhateverTheSeparator) {
    for (const wchar_t* ending : {L"", L"\\", L"/"}) {
        const std::wstring root = MakeTree(L"tree");
        const std::wstring given = root.substr(0, root.size() - 1) + ending;
        EXPECT_EQ(DeleteFolder(given), 1) << given.c_str();
        EXPECT_FALSE(PathExists(root)) << given.c_str();
    }
}

TEST(FolderDeletion, AsideNameIsHexTickCount) {
    EXPECT_EQ(AsideName(L"C:\\a\\", L"b.exe", 0x1A2Bu), L"C:\\a\\b.exe_d_1a2b");
    EXPECT_EQ(AsideName(L"C:\\a\\", L"b", 0), L"C:\\a\\b_d_0");
}

TEST(FolderDeletion, FileWithAnotherLinkKeepsItsAttributesThere) {
    const std::wstring outside = MakeScratchDirectory(L"outside") + L"ro2.txt";
    WriteTextFile(outside, "kept");
    const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(SetFileAttributesW(outside.c_str(), attributes));
    const std::wstring root = MakeTree(L"linked");
    ASSERT_TRUE(CreateHardLinkW((root + L"sub\\ro2.txt").c_str(), outside.c_str(), nullptr));
    EXPECT_EQ(DeleteFolder(root), 1);
    EXPECT_FALSE(PathExists(root));
    EXPECT_EQ(GetFileAttributesW(outside.c_str()) & attributes, attributes);
    SetFileAttributesW(outside.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The deletion reaches the folder again through its parent; when what it
// reaches is no longer the folder that was checked (a folder on the way
// swapped for a link since), nothing is touched.
TEST(FolderDeletion, AFolderThatIsNoLongerTheOneCheckedIsLeftWhole) {
    const std::wstring root = MakeTree(L"checked");
    const std::wstring other = MakeScratchDirectory(L"other");
    Ostra::FileIdentity otherIdentity;
    ASSERT_EQ(Ostra::ReadIdentity(other, &otherIdentity), Ostra::IdentityRead::Read);
    EXPECT_EQ(DeleteTree(root, true, &otherIdentity), 0);
    EXPECT_TRUE(PathExists(root + L"sub\\深层\\hidden.dat"));

    Ostra::FileIdentity rootIdentity;
    ASSERT_EQ(Ostra::ReadIdentity(root, &rootIdentity), Ostra::IdentityRead::Read);
    EXPECT_EQ(DeleteTree(root, true, &rootIdentity), 1);
    EXPECT_FALSE(PathExists(root));
}
