#include "SkinResources.h"

#include "ZipBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace SkinKit;

namespace {

// A fresh folder under the temporary directory, removed with its files.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        m_path = std::wstring(base) + L"skinkit-core-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~TempFolder() {
        for (const std::wstring& file : m_files)
            DeleteFileW(file.c_str());
        RemoveDirectoryW(m_path.c_str());
    }
    const std::wstring& Path() const { return m_path; }
    std::wstring Write(const std::wstring& name, const std::vector<uint8_t>& bytes) {
        std::wstring full = m_path + name;
        HANDLE file = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (!bytes.empty())
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        m_files.push_back(full);
        return full;
    }

private:
    std::wstring m_path;
    std::vector<std::wstring> m_files;
};

const char kMarkup[] = "<Window size=\"500,350\"><Label text=\"hi\"/></Window>";

std::vector<uint8_t> SkinArchive() {
    return BuildZip({{"skin.xml", Bytes(kMarkup), true},
                     {"images/bg.png", Bytes("png bytes"), false},
                     {"empty.xml", {}, false},
                     {"huge.xml", std::vector<uint8_t>(kMaxSkinFileSize + 1, 'h'), true},
                     {"bad.xml", Bytes("<a/>"), false}});
}

} // namespace

TEST(SkinResources, ReadsPlainFilesFromResourceFolderWithErrorTexts) {
    TempFolder folder;
    folder.Write(L"skin.xml", Bytes(kMarkup));
    folder.Write(L"empty.xml", {});
    folder.Write(L"huge.xml", std::vector<uint8_t>(kMaxSkinFileSize + 1, 'h'));
    folder.Write(L"limit.xml", std::vector<uint8_t>(kMaxSkinFileSize, 'l'));

    CSkinStore store;
    store.SetResourcePath(folder.Path().c_str());
    std::vector<uint8_t> bytes;
    EXPECT_EQ(nullptr, store.ReadSkinFile(L"skin.xml", bytes));
    EXPECT_EQ(std::string(kMarkup), std::string(bytes.begin(), bytes.end()));
    EXPECT_STREQ(L"Error opening file", store.ReadSkinFile(L"missing.xml", bytes));
    EXPECT_STREQ(L"File is empty", store.ReadSkinFile(L"empty.xml", bytes));
    EXPECT_STREQ(L"File too large", store.ReadSkinFile(L"huge.xml", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(nullptr, store.ReadSkinFile(L"limit.xml", bytes));
    EXPECT_EQ(kMaxSkinFileSize, bytes.size());

    CMarkup doc;
    EXPECT_TRUE(store.LoadMarkupFile(doc, L"skin.xml"));
    EXPECT_STREQ(L"Label", doc.GetRoot().GetChild().GetName());
    EXPECT_FALSE(store.LoadMarkupFile(doc, L"missing.xml"));
    EXPECT_STREQ(L"Error opening file", doc.GetLastErrorMessage());
}

TEST(SkinResources, ReadsInMemorySkinPackageWithErrorTexts) {
    std::vector<uint8_t> zip = SkinArchive();
    // Damage the stored "bad.xml" data so its checksum no longer matches.
    const std::string marker = "<a/>";
    auto at = std::search(zip.begin(), zip.end(), marker.begin(), marker.end());
    ASSERT_NE(zip.end(), at);
    *at = '!';

    CSkinStore store;
    store.SetResourceZip(zip.data(), zip.size());
    EXPECT_TRUE(store.HasResourceZip());
    std::vector<uint8_t> bytes;
    EXPECT_EQ(nullptr, store.ReadSkinFile(L"SKIN.XML", bytes));
    EXPECT_EQ(nullptr, store.ReadSkinFile(L"images\\bg.png", bytes));
    EXPECT_STREQ(L"Could not find ziped file", store.ReadSkinFile(L"nothere.xml", bytes));
    EXPECT_STREQ(L"File is empty", store.ReadSkinFile(L"empty.xml", bytes));
    EXPECT_STREQ(L"File too large", store.ReadSkinFile(L"huge.xml", bytes));
    EXPECT_STREQ(L"Could not unzip file", store.ReadSkinFile(L"bad.xml", bytes));
    EXPECT_STREQ(L"Could not find ziped file", store.ReadSkinFile(std::wstring(300, L'a').c_str(), bytes));

    // Archivers flag non-ASCII names as UTF-8.
    std::vector<uint8_t> chinese = BuildZip({{"\xE7\x9A\xAE\xE8\x82\xA4/bg.png", Bytes("utf-8 name"), true, 1 << 11}});
    CSkinStore utf8Store;
    utf8Store.SetResourceZip(chinese.data(), chinese.size());
    EXPECT_EQ(nullptr, utf8Store.ReadSkinFile(L"皮肤\\BG.png", bytes));
    EXPECT_EQ("utf-8 name", std::string(bytes.begin(), bytes.end()));

    CMarkup doc;
    EXPECT_FALSE(store.LoadMarkupFile(doc, L"huge.xml"));
    EXPECT_STREQ(L"File too large", doc.GetLastErrorMessage());

    std::vector<uint8_t> garbage = Bytes("no archive here, not even close to one");
    store.SetResourceZip(garbage.data(), garbage.size());
    EXPECT_STREQ(L"Error opening zip file", store.ReadSkinFile(L"skin.xml", bytes));
}

TEST(SkinResources, ArchiveFileIsKeptOpenOnlyWhenAsked) {
    TempFolder folder;
    std::wstring zipPath = folder.Write(L"skin.zip", SkinArchive());
    std::vector<uint8_t> bytes;

    CSkinStore kept;
    kept.SetResourcePath(folder.Path().c_str());
    kept.SetResourceZip(L"skin.zip", true);
    CSkinStore reopened;
    reopened.SetResourcePath(folder.Path().c_str());
    reopened.SetResourceZip(L"skin.zip", false);
    EXPECT_EQ(nullptr, kept.ReadSkinFile(L"skin.xml", bytes));
    EXPECT_EQ(nullptr, reopened.ReadSkinFile(L"skin.xml", bytes));

    ASSERT_TRUE(DeleteFileW(zipPath.c_str()));
    EXPECT_EQ(nullptr, kept.ReadSkinFile(L"skin.xml", bytes));
    EXPECT_STREQ(L"Error opening zip file", reopened.ReadSkinFile(L"skin.xml", bytes));
}

TEST(SkinResources, ImageNameIsFinallyTriedAsPathOfItsOwn) {
    TempFolder folder;
    std::wstring loose = folder.Write(L"loose.png", Bytes("loose image"));
    std::vector<uint8_t> zip = SkinArchive();
    CSkinStore store;
    store.SetResourceZip(zip.data(), zip.size());
    std::vector<uint8_t> bytes;
    EXPECT_STREQ(L"Could not find ziped file", store.ReadSkinFile(loose.c_str(), bytes));
    EXPECT_EQ(nullptr, store.ReadImageFile(loose.c_str(), bytes));
    EXPECT_EQ("loose image", std::string(bytes.begin(), bytes.end()));
    EXPECT_STREQ(L"Could not find ziped file", store.ReadImageFile(L"nothere.png", bytes));
}

TEST(SkinResources, LoadsMarkupFromNumberedResource) {
    CSkinStore store;
    CMarkup doc;
    ASSERT_TRUE(store.LoadMarkupResource(doc, L"200", L"xml")) << doc.GetLastErrorMessage();
    EXPECT_STREQ(L"Window", doc.GetRoot().GetName());
    EXPECT_STREQ(L"资源", doc.GetRoot().GetAttributeValue(L"title"));
    EXPECT_FALSE(store.LoadMarkupResource(doc, L"201", L"xml"));
    EXPECT_STREQ(L"Error opening file", doc.GetLastErrorMessage());
}
