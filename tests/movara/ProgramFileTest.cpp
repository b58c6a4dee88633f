// What Movara.exe carries besides code: manifest, icons, version block and the
// skin package, read from the built program file.
#include <UniqueHandle.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

struct Resource {
    const unsigned char* data = nullptr;
    DWORD size = 0;
};

class ProgramFile : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t own[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, own, MAX_PATH);
        path = own;
        path.resize(path.rfind(L'\\') + 1);
        path += L"..\\bin\\Movara.exe";
        module.reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(module) << "Movara.exe not found beside the tests";
    }

    Resource Find(const wchar_t* type, const wchar_t* name) {
        Resource r;
        HRSRC found = FindResourceW(module.get(), name, type);
        if (!found)
            return r;
        HGLOBAL loaded = LoadResource(module.get(), found);
        r.data = static_cast<const unsigned char*>(LockResource(loaded));
        r.size = SizeofResource(module.get(), found);
        return r;
    }

    std::wstring VersionString(const std::wstring& key) {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        std::string block(size, '\0');
        if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, &block[0]))
            return L"?";
        wchar_t* value = nullptr;
        UINT length = 0;
        std::wstring query = L"\\StringFileInfo\\080404b0\\" + key;
        if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            return L"?";
        return std::wstring(value, length ? length - 1 : 0);
    }

    std::wstring path;
    Ostra::UniqueModule module;
};

} // namespace

TEST_F(ProgramFile, ManifestRequiresAdministratorAndCommonControls6) {
    Resource manifest = Find(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
    ASSERT_NE(manifest.data, nullptr);
    std::string text(reinterpret_cast<const char*>(manifest.data), manifest.size);
    EXPECT_NE(text.find("level=\"requireAdministrator\" uiAccess=\"false\""), std::string::npos);
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("processorArchitecture=\"x86\" publicKeyToken"), std::string::npos);
}

TEST_F(ProgramFile, IconGroupsAndVersionBlock) {
    EXPECT_NE(Find(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(107)).data, nullptr);
    EXPECT_NE(Find(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(108)).data, nullptr);

    EXPECT_EQ(VersionString(L"FileDescription"), L"Ostra Mail 数据迁移工具");
    EXPECT_EQ(VersionString(L"ProductName"), L"Ostra Mail");
    EXPECT_EQ(VersionString(L"InternalName"), L"Movara.exe");
    EXPECT_EQ(VersionString(L"OriginalFilename"), L"Movara.exe");
    EXPECT_EQ(VersionString(L"FileVersion"), L"1.0.0.1");
}

TEST_F(ProgramFile, SkinPackageIsADeflatedZipOf21Entries) {
    Resource zip = Find(L"ZIPRES", MAKEINTRESOURCEW(131));
    ASSERT_NE(zip.data, nullptr);
    ASSERT_GT(zip.size, 22u);
    EXPECT_EQ(std::memcmp(zip.data, "PK\x03\x04", 4), 0);
    const unsigned char* end = zip.data + zip.size - 22; // end of central directory, no comment
    ASSERT_EQ(std::memcmp(end, "PK\x05\x06", 4), 0);
    EXPECT_EQ(end[10] | (end[11] << 8), 21);

    // Walk the central directory: every entry deflated, skin.xml first.
    DWORD offset = end[16] | (end[17] << 8) | (end[18] << 16) | (static_cast<DWORD>(end[19]) << 24);
    const unsigned char* entry = zip.data + offset;
    for (int i = 0; i < 21; ++i) {
        ASSERT_EQ(std::memcmp(entry, "PK\x01\x02", 4), 0);
        EXPECT_EQ(entry[10] | (entry[11] << 8), 8) << "entry " << i << " is deflated";
        int nameLength = entry[28] | (entry[29] << 8);
        int extra = entry[30] | (entry[31] << 8);
        int comment = entry[32] | (entry[33] << 8);
        std::string name(reinterpret_cast<const char*>(entry + 46), nameLength);
        if (i == 0) {
            EXPECT_EQ(name, "skin.xml");
        }
        EXPECT_EQ(name.find('/'), std::string::npos) << name << " lies at the root";
        entry += 46 + nameLength + extra + comment;
    }
}
