#include <gtest/gtest.h>

#include "PathHelpers.h"
#include "TempTree.h"

TEST(IsSameVolume, ComparesRootsIgnoringCase) {
    EXPECT_EQ(IsSameVolume(L"C:\\", L"c:\\"), 1);
    EXPECT_EQ(IsSameVolume(L"C:\\", L"Z:\\"), 0);
    EXPECT_EQ(IsSameVolume(L"C:\\", L"\\\\srv\\share\\"), 0);
}

TEST(VolumeQueries, AnswerForRealDrivesAndFallBackOtherwise) {
    EXPECT_EQ(GetSectorSize(L"C:\\"), 512u);
    EXPECT_EQ(GetSectorSize(L"Q:\\"), 2048u); // no such drive
    EXPECT_EQ(GetFileSystemKind(nullptr), 3u);
    EXPECT_EQ(GetFileSystemKind(L"C:\\"), 1u);
    EXPECT_NE(EnablePrivilege(L"SeBackupPrivilege"), 0);
    EXPECT_EQ(EnablePrivilege(L"NoSuchPrivilege"), 0);
}

TEST(IsSameOrInsidePath, MatchesWholeComponentsOnly) {
    EXPECT_TRUE(IsSameOrInsidePath(L"C:\\Data\\Out", L"c:\\data"));
    EXPECT_TRUE(IsSameOrInsidePath(L"C:\\data", L"C:\\data\\"));
    EXPECT_FALSE(IsSameOrInsidePath(L"C:\\data2\\x", L"C:\\data"));
    EXPECT_FALSE(IsSameOrInsidePath(L"C:\\da", L"C:\\data"));
}

TEST(CountTree, CountsEveryFileIncludingDotNames) {
    TempTree tree;
    MakeDirs(tree.Path(L"src\\.git"));
    MakeDirs(tree.Path(L"src\\empty\\deeper"));
    WritePatternFile(tree.Path(L"src\\.git\\config"), 100, 1);
    WritePatternFile(tree.Path(L"src\\a"), 10, 2);
    WritePatternFile(tree.Path(L"src\\.profile"), 7, 3);
    WritePatternFile(tree.Path(L"src\\empty\\deeper\\大文件"), 5000000, 4);
    uint64_t bytes = 0;
    uint32_t files = 0;
    std::atomic<uint32_t> cancel{0};
    EXPECT_EQ(CountTree(Long(tree.Path(L"src")).c_str(), &bytes, &files, &cancel), 1);
    EXPECT_EQ(files, 4u);
    EXPECT_EQ(bytes, 100u + 10 + 7 + 5000000);
}

TEST(CountTree, LeavesOutTheExcludedSubtreeAndFailsOnMissingFolders) {
    TempTree tree;
    MakeDirs(tree.Path(L"src\\out\\old"));
    MakeDirs(tree.Path(L"src\\empty"));
    WritePatternFile(tree.Path(L"src\\keep"), 10, 1);
    WritePatternFile(tree.Path(L"src\\out\\old\\skip"), 1000, 2);
    uint64_t bytes = 0;
    uint32_t files = 0;
    std::vector<Ostra::FileIdentity> excluded;
    ASSERT_TRUE(Ostra::ReadAncestry(Long(tree.Path(L"SRC\\OUT")), &excluded));
    EXPECT_EQ(CountTree(Long(tree.Path(L"src")).c_str(), &bytes, &files, nullptr, &excluded), 1);
    EXPECT_EQ(files, 1u);
    EXPECT_EQ(bytes, 10u);

    bytes = 0;
    files = 0;
    EXPECT_EQ(CountTree(Long(tree.Path(L"src\\empty")).c_str(), &bytes, &files, nullptr), 1);
    EXPECT_EQ(files, 0u);
    EXPECT_EQ(CountTree(Long(tree.Path(L"missing")).c_str(), &bytes, &files, nullptr), 0);

    uint64_t size = 0;
    EXPECT_NE(GetFileSize64(Long(tree.Path(L"src\\keep")).c_str(), &size), 0);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(GetFileSize64(Long(tree.Path(L"src\\nothing")).c_str(), &size), 0);
}
