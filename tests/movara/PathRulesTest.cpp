#include "PathRules.h"

#include <gtest/gtest.h>

TEST(SamePath, CaseAndDoubledSeparatorsDoNotMatter) {
    EXPECT_TRUE(SamePath(L"D:\\A\\\\B", L"d:\\a\\b"));
    EXPECT_TRUE(SamePath(L"C:\\Program Files\\Ostra\\ostramail.exe", L"c:\\PROGRAM FILES\\ostra\\OSTRAMAIL.EXE"));
    EXPECT_TRUE(SamePath(L"C:\\x\\/y", L"C:\\x\\y"));
}

TEST(SamePath, SlashIsNotBackslashAndOtherFoldersDiffer) {
    EXPECT_FALSE(SamePath(L"D:/A/B", L"D:\\A\\B"));
    EXPECT_FALSE(SamePath(L"C:\\a\\ostramail.exe", L"C:\\b\\ostramail.exe"));
    EXPECT_FALSE(SamePath(L"C:\\a\\ostramail.exe", L"C:\\a\\ostramail.exe.bak"));
    // Only A to Z fold: other letters keep their case.
    EXPECT_FALSE(SamePath(L"C:\\\u00C4", L"C:\\\u00E4"));
    EXPECT_FALSE(SamePath(nullptr, L"C:\\a"));
    EXPECT_FALSE(SamePath(L"C:\\a", nullptr));
}

TEST(FolderChoice, TrailingSeparatorAndDestination) {
    EXPECT_EQ(StripOneTrailingSeparator(L"D:\\"), L"D:");
    EXPECT_EQ(StripOneTrailingSeparator(L"D:\\Mail"), L"D:\\Mail");
    EXPECT_EQ(DestinationForFolder(StripOneTrailingSeparator(L"D:\\")), L"D:\\Profiles");
    EXPECT_EQ(DestinationForFolder(L"D:\\Mail"), L"D:\\Mail\\Profiles");
}

TEST(DirectorySearchPattern, AppendsPatternWithinTheBuffer) {
    EXPECT_EQ(DirectorySearchPattern(L"D:\\Mail"), L"D:\\Mail\\*.*");
    EXPECT_EQ(DirectorySearchPattern(L"D:\\Mail\\"), L"D:\\Mail\\*.*");
    EXPECT_EQ(DirectorySearchPattern(L"D:/Mail/"), L"D:/Mail/*.*");

    // 255 + "\*.*" = 259 characters plus the terminator fits; one more does not.
    std::wstring fits(255, L'a');
    EXPECT_EQ(DirectorySearchPattern(fits).size(), 259u);
    EXPECT_TRUE(FitsPathBuffers(fits));
    EXPECT_TRUE(DirectorySearchPattern(fits + L"a").empty());
    EXPECT_FALSE(FitsPathBuffers(fits + L"a"));
    EXPECT_FALSE(FitsPathBuffers(L""));
}

TEST(DirectoryPrefixes, OneEntryPerComponentEndingInASeparator) {
    using List = std::vector<std::wstring>;
    EXPECT_EQ(DirectoryPrefixes(L"D:\\Mail\\Profiles\\"), (List{L"D:\\", L"D:\\Mail\\", L"D:\\Mail\\Profiles\\"}));
    // Doubled separators add nothing; a last component without separator is not created.
    EXPECT_EQ(DirectoryPrefixes(L"D:\\\\Mail/x"), (List{L"D:\\", L"D:\\Mail/"}));
    EXPECT_EQ(DirectoryPrefixes(L"\\\\server\\share\\Mail\\"), (List{L"\\\\server\\share\\Mail\\"}));
    EXPECT_TRUE(DirectoryPrefixes(L"\\\\server").empty());
}

TEST(IsSameOrInside, RecognisesTheProfileItselfAndPlacesBelowIt) {
    const std::wstring old = L"C:\\Users\\u\\AppData\\Roaming\\harbec\\Tarn\\Profiles\\abcd.default";
    EXPECT_TRUE(IsSameOrInside(old, old));
    EXPECT_TRUE(IsSameOrInside(L"c:\\users\\U\\AppData\\Roaming\\harbec\\Tarn\\Profiles\\ABCD.default", old));
    EXPECT_TRUE(IsSameOrInside(old + L"\\sub\\Profiles", old));
    EXPECT_TRUE(IsSameOrInside(L"C:/Users/u/AppData/Roaming/harbec/Tarn/Profiles/abcd.default//x", old + L"\\"));
    EXPECT_FALSE(IsSameOrInside(old + L"2\\Profiles", old));
    EXPECT_FALSE(IsSameOrInside(L"D:\\Mail\\Profiles", old));
    EXPECT_FALSE(IsSameOrInside(L"C:\\Users\\u\\AppData\\Roaming\\harbec\\Tarn\\Profiles", old));
    EXPECT_FALSE(IsSameOrInside(L"D:\\x", L""));
}
