#include "MigrationLogFile.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::string ReadAll(const std::wstring& path) {
    std::string bytes;
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}
} // namespace

TEST(MigrationLogFile, Utf8WithBomCreatedWithItsFoldersAndAppendedLineByLine) {
    TestFolder root(L"log");
    MigrationLogFile log(root / L"Ostra Mail\\Movara");
    EXPECT_TRUE(log.path().empty());
    ASSERT_TRUE(log.Append(L"旧目录：C:\\数据"));
    const std::wstring path = log.path();
    EXPECT_EQ(path.rfind(root / L"Ostra Mail\\Movara\\migration-", 0), 0u);
    EXPECT_EQ(path.substr(path.size() - 4), L".log");
    ASSERT_TRUE(log.Append(L"second"));
    const std::string written = ReadAll(path);
    EXPECT_EQ(written, "\xEF\xBB\xBF\xE6\x97\xA7\xE7\x9B\xAE\xE5\xBD\x95\xEF\xBC\x9A"
                       "C:\\\xE6\x95\xB0\xE6\x8D\xAE\r\nsecond\r\n");

    // A second run within the same second never writes into the first one's file.
    MigrationLogFile other(root / L"Ostra Mail\\Movara");
    ASSERT_TRUE(other.Append(L"x"));
    EXPECT_NE(other.path(), path);
    EXPECT_EQ(ReadAll(path), written);

    // Another file put where the log was (a program of the user's, say) is
    // never written to: the log stops instead.
    const std::wstring planted = root / L"planted.txt";
    ASSERT_TRUE(CopyFileW(other.path().c_str(), planted.c_str(), FALSE));
    ASSERT_TRUE(DeleteFileW(path.c_str()));
    ASSERT_TRUE(CreateHardLinkW(path.c_str(), planted.c_str(), nullptr));
    const std::string plantedBytes = ReadAll(planted);
    EXPECT_FALSE(log.Append(L"third"));
    EXPECT_EQ(ReadAll(planted), plantedBytes);
}
