#include "ProfileRegistry.h"
#include "TestFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

// A fake roaming folder holding the client's registry file, removed afterwards.
class ProfileRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW((appData_ + L"\\harbec").c_str(), nullptr);
        CreateDirectoryW((appData_ + L"\\harbec\\Tarn").c_str(), nullptr);
    }

    // Writes the file as UTF-16 with a byte order mark, as the system reads it.
    void WriteIni(const std::wstring& text) {
        std::ofstream out(ini_.c_str(), std::ios::binary);
        out.write("\xFF\xFE", 2);
        for (wchar_t c : text) {
            out.put(static_cast<char>(c & 0xFF));
            out.put(static_cast<char>(c >> 8));
        }
    }

    static std::string ReadBytes(const std::wstring& path) {
        std::ifstream in(path.c_str(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void WriteBytes(const std::wstring& path, const std::string& bytes) {
        std::ofstream out(path.c_str(), std::ios::binary);
        out << bytes;
    }

    TestFolder folder_{L"registry"};
    const std::wstring appData_ = folder_.path();
    const std::wstring ini_ = appData_ + L"\\harbec\\Tarn\\profiles.ini";
};

TEST_F(ProfileRegistryTest, RelativePathIsResolvedUnderTheClientFolder) {
    WriteIni(L"[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\nIsRelative=1\r\n"
             L"Path=Profiles/abcd1234.default\r\nDefault=1\r\n");
    EXPECT_EQ(ReadProfileDirectory(appData_), appData_ + L"\\harbec\\Tarn\\Profiles\\abcd1234.default");
}

TEST_F(ProfileRegistryTest, AbsolutePathIsReturnedUnchanged) {
    WriteIni(L"[Profile0]\r\nIsRelative=0\r\nPath=D:\\Mail\\Profiles\r\nDefault=1\r\n");
    EXPECT_EQ(ReadProfileDirectory(appData_), L"D:\\Mail\\Profiles");
    WriteIni(L"[Profile0]\r\nPath=D:/Mail/Profiles\r\nDefault=1\r\n");
    EXPECT_EQ(ReadProfileDirectory(appData_), L"D:/Mail/Profiles") << "no IsRelative counts as absolute";
    WriteIni(L"[Profile0]\r\nPath=\\\\nas\\mail\\p\r\nIsRelative=0\r\nDefault=1\r\n");
    EXPECT_EQ(ReadProfileDirectory(appData_), L"\\\\nas\\mail\\p");
    // An "absolute" profile that is not: it would be resolved against
    // whatever folder the program happens to run in.
    for (const wchar_t* path : {L"Profiles\\abcd1234.default", L"D:Profiles", L"\\Profiles", L"\\\\"}) {
        WriteIni(std::wstring(L"[Profile0]\r\nIsRelative=0\r\nPath=") + path + L"\r\nDefault=1\r\n");
        EXPECT_EQ(ReadProfileDirectory(appData_), L"") << path;
    }
}

TEST_F(ProfileRegistryTest, OnlyADefaultProfile0IsUsable) {
    for (const wchar_t* def : {L"Default=0\r\n", L"Default=yes\r\n", L"Default=1 x\r\n", L""}) {
        WriteIni(std::wstring(L"[Profile0]\r\nIsRelative=0\r\nPath=C:\\p\r\n") + def +
                 L"[Profile1]\r\nIsRelative=0\r\nPath=C:\\q\r\nDefault=1\r\n");
        EXPECT_EQ(ReadProfileDirectory(appData_), L"") << def;
        RewriteProfilePath(appData_, L"E:\\New\\Profiles");
        EXPECT_EQ(ReadIniValue(ini_, L"Profile0", L"Path"), L"C:\\p") << "nothing may be written";
    }
    WriteIni(L"[Profile0]\r\nDefault=1\r\nPath=\r\n");
    EXPECT_EQ(ReadProfileDirectory(appData_), L"");
}

TEST_F(ProfileRegistryTest, MissingFileOrFolderGivesNothingAndCreatesNothing) {
    EXPECT_EQ(ReadProfileDirectory(appData_), L"");
    RewriteProfilePath(appData_, L"E:\\New\\Profiles");
    EXPECT_EQ(GetFileAttributesW(ini_.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadProfileDirectory(L""), L"");
}

TEST_F(ProfileRegistryTest, RewriteKeepsOtherKeysAndSectionsAndReadsBackAsAbsolute) {
    WriteIni(L"[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\nIsRelative=1\r\n"
             L"Path=Profiles/abcd1234.default\r\nDefault=1\r\n\r\n[Profile1]\r\nName=other\r\nPath=x\r\n");
    const std::wstring target = L"E:\\新目录\\Profiles";
    RewriteProfilePath(appData_, target);
    EXPECT_EQ(ReadIniValue(ini_, L"Profile0", L"Path"), target);
    EXPECT_EQ(ReadIniValue(ini_, L"Profile0", L"IsRelative"), L"0");
    EXPECT_EQ(ReadIniValue(ini_, L"Profile0", L"Default"), L"1");
    EXPECT_EQ(ReadIniValue(ini_, L"Profile0", L"Name"), L"default");
    EXPECT_EQ(ReadIniValue(ini_, L"General", L"StartWithLastProfile"), L"1");
    EXPECT_EQ(ReadIniValue(ini_, L"Profile1", L"Name"), L"other");
    EXPECT_EQ(ReadProfileDirectory(appData_), target);
}

// A rewrite that fails at any step leaves profiles.ini byte for byte as it
// was and nothing beside it; one that succeeds keeps the old file as backup.
TEST_F(ProfileRegistryTest, RewriteIsAllOrNothing) {
    WriteIni(L"[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\nIsRelative=1\r\n"
             L"Path=Profiles/abcd1234.default\r\nDefault=1\r\n\r\n\r\n[Profile1]\r\nPath=x\r\n");
    const std::string original = ReadBytes(ini_);
    for (RewriteStep step : {RewriteStep::ReadOriginal, RewriteStep::CreateCopy, RewriteStep::WriteValues,
                             RewriteStep::ReadBack, RewriteStep::KeepBackup, RewriteStep::Replace}) {
        EXPECT_FALSE(RewriteProfilePath(appData_, L"E:\\New\\Profiles", [&](RewriteStep s) { return s == step; }));
        EXPECT_EQ(ReadBytes(ini_), original) << int(step);
        EXPECT_EQ(GetFileAttributesW((ini_ + L".movara-new").c_str()), INVALID_FILE_ATTRIBUTES) << int(step);
    }
    // A link or file planted where the copy is made is replaced, never written through.
    const std::wstring planted = appData_ + L"\\planted.txt";
    WriteBytes(planted, "keep");
    ASSERT_TRUE(CopyFileW(planted.c_str(), (ini_ + L".movara-new").c_str(), FALSE));
    ASSERT_TRUE(RewriteProfilePath(appData_, L"E:\\New\\Profiles"));
    EXPECT_EQ(ReadBytes(planted), "keep");
    EXPECT_EQ(ReadBytes(ini_ + L".movara-backup"), original);
    EXPECT_EQ(ReadIniValue(ini_, L"Profile0", L"Path"), L"E:\\New\\Profiles");
    EXPECT_EQ(ReadIniValue(ini_, L"Profile0", L"IsRelative"), L"0");
    EXPECT_EQ(ReadIniValue(ini_, L"Profile1", L"Path"), L"x");
    EXPECT_EQ(ReadBytes(ini_).compare(0, 2, "\xFF\xFE"), 0) << "the file stays UTF-16";
}

TEST_F(ProfileRegistryTest, AnAnsiFileHoldsOnlyWhatTheCodePageCanSpell) {
    WriteIni(L"[Profile0]\r\nPath=C:\\p\r\nDefault=1\r\n");
    EXPECT_TRUE(RegistryCanHold(ini_, L"D:\\한국\\Profiles")) << "UTF-16 holds every name";
    WriteBytes(ini_, "[Profile0]\r\nPath=C:\\p\r\nDefault=1\r\n");
    EXPECT_TRUE(RegistryCanHold(ini_, L"D:\\Mail Data\\Profiles"));
    // Hangul is in neither code page 1252 nor 936.
    EXPECT_FALSE(RegistryCanHold(ini_, L"D:\\한국\\Profiles"));
    EXPECT_EQ(RegistryCanHold(ini_, L"D:\\邮件\\Profiles"), GetACP() == 936) << GetACP();
}

TEST_F(ProfileRegistryTest, NamesOutsideCodePage936Survive) {
    // Hangul has no code page 936 form: a narrow round trip would turn it into "?".
    WriteIni(L"[Profile0]\r\nIsRelative=1\r\nPath=Profiles/한국.default\r\nDefault=1\r\n");
    EXPECT_EQ(ReadProfileDirectory(appData_), appData_ + L"\\harbec\\Tarn\\Profiles\\한국.default");
}

TEST_F(ProfileRegistryTest, OverlongComposedPathIsRefused) {
    std::wstring longName(MAX_PATH, L'a');
    WriteIni(L"[Profile0]\r\nIsRelative=1\r\nPath=Profiles/" + longName + L"\r\nDefault=1\r\n");
    EXPECT_EQ(ReadProfileDirectory(appData_), L"");
    EXPECT_EQ(ReadProfileDirectory(appData_ + L"\\" + longName), L"");
}

TEST_F(ProfileRegistryTest, LongValuesArriveCutTo1023Characters) {
    std::wstring value(3000, L'v');
    ASSERT_TRUE(WriteProfile0Value(ini_, L"Note", value));
    EXPECT_EQ(ReadIniValue(ini_, L"Profile0", L"Note"), value.substr(0, 1023));
    EXPECT_EQ(ReadIniValue(ini_, L"Profile0", L"Absent"), L"");
}

TEST(ProfileRegistry, RealAppDataFolderIsFound) {
    EXPECT_FALSE(GetAppDataFolder().empty());
    EXPECT_EQ(GetAppDataPath(L"\\harbec"), GetAppDataFolder() + L"\\harbec");
    EXPECT_EQ(GetAppDataPath(std::wstring(MAX_PATH, L'x')), L"");
}

} // namespace
