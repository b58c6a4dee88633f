// Every deliverable carries the release version and the same product texts in
// its version resource, read from the built files beside the tests.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::wstring BinFolder() {
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring path = own;
    path.resize(path.rfind(L'\\') + 1);
    return path + L"..\\bin\\";
}

class VersionBlock {
public:
    explicit VersionBlock(const std::wstring& path) {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        block.assign(size, '\0');
        loaded = size != 0 && GetFileVersionInfoW(path.c_str(), 0, size, &block[0]);
    }

    bool Loaded() const { return loaded; }

    std::wstring Text(const wchar_t* key) const {
        wchar_t* value = nullptr;
        UINT length = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\080404b0\\") + key;
        if (!loaded || !VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            return L"<missing>";
        return std::wstring(value, length ? length - 1 : 0);
    }

    // "a.b.c.d" from the fixed part: file version when file is true, else product version.
    std::wstring Numbers(bool file) const {
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (!loaded || !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length))
            return L"<missing>";
        const DWORD ms = file ? fixed->dwFileVersionMS : fixed->dwProductVersionMS;
        const DWORD ls = file ? fixed->dwFileVersionLS : fixed->dwProductVersionLS;
        return std::to_wstring(HIWORD(ms)) + L"." + std::to_wstring(LOWORD(ms)) + L"." + std::to_wstring(HIWORD(ls)) +
               L"." + std::to_wstring(LOWORD(ls));
    }

private:
    std::string block;
    bool loaded = false;
};

void ExpectReleaseVersion(const wchar_t* fileName, const wchar_t* description) {
    SCOPED_TRACE(testing::Message() << "file " << testing::PrintToString(std::wstring(fileName)));
    const VersionBlock version(BinFolder() + fileName);
    ASSERT_TRUE(version.Loaded()) << "no version resource";
    EXPECT_EQ(version.Text(L"FileVersion"), OSTRA_VERSION);
    EXPECT_EQ(version.Text(L"ProductVersion"), OSTRA_VERSION);
    EXPECT_EQ(version.Numbers(true), OSTRA_VERSION);
    EXPECT_EQ(version.Numbers(false), OSTRA_VERSION);
    EXPECT_EQ(version.Text(L"ProductName"), L"Ostra Mail");
    EXPECT_EQ(version.Text(L"CompanyName"), L"Ostra Mail");
    EXPECT_EQ(version.Text(L"LegalCopyright").find(L"Copyright"), 0u);
    EXPECT_EQ(version.Text(L"FileDescription"), description);
    EXPECT_EQ(version.Text(L"OriginalFilename"), fileName);
}

} // namespace

TEST(ReleaseVersion, EveryDeliverableCarriesTheProjectVersion) {
    ExpectReleaseVersion(L"Movara.exe", L"Ostra Mail 数据迁移工具");
    ExpectReleaseVersion(L"Pellbox.dll", L"Ostra Mail 安装程序工具插件");
    ExpectReleaseVersion(L"Tallywick.dll", L"Ostra Mail 安装统计插件");
}
