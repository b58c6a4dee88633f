#include "ProfileRegistry.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

namespace {

const wchar_t kClientFolder[] = L"\\harbec\\Tarn\\";
const wchar_t kRegistryFile[] = L"profiles.ini";
const wchar_t kSection[] = L"Profile0";

// Composed paths must fit the MAX_PATH buffers the rest of the program uses.
bool FitsMaxPath(const std::wstring& path) {
    return path.size() < MAX_PATH;
}

std::wstring RegistryPath(const std::wstring& appDataFolder) {
    if (appDataFolder.empty())
        return std::wstring();
    std::wstring path = appDataFolder + kClientFolder + kRegistryFile;
    return FitsMaxPath(path) ? path : std::wstring();
}

bool IsUsableRegistry(const std::wstring& iniPath) {
    if (iniPath.empty() || GetFileAttributesW(iniPath.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    return ReadIniValue(iniPath, kSection, L"Default") == L"1";
}

} // namespace

std::wstring GetAppDataFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::wstring();
    return folder;
}

std::wstring GetAppDataPath(const std::wstring& suffix) {
    std::wstring folder = GetAppDataFolder();
    if (folder.empty())
        return std::wstring();
    std::wstring path = folder + suffix;
    return FitsMaxPath(path) ? path : std::wstring();
}

std::wstring ReadIniValue(const std::wstring& iniPath, const std::wstring& section, const std::wstring& key) {
    DWORD capacity = 1024;
    std::vector<wchar_t> buffer;
    DWORD length = 0;
    do {
        buffer.assign(capacity, L'\0');
        length = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer.data(), capacity, iniPath.c_str());
        capacity += 1024;
    } while (length == buffer.size() - 2);
    return std::wstring(buffer.data(), std::min<size_t>(length, buffer.size() - 1));
}

bool WriteProfile0Value(const std::wstring& iniPath, const std::wstring& key, const std::wstring& value) {
    return WritePrivateProfileStringW(kSection, key.c_str(), value.c_str(), iniPath.c_str()) != FALSE;
}

std::wstring ReadProfileDirectory(const std::wstring& appDataFolder) {
    std::wstring iniPath = RegistryPath(appDataFolder);
    if (!IsUsableRegistry(iniPath))
        return std::wstring();

    std::wstring path = ReadIniValue(iniPath, kSection, L"Path");
    if (path.empty())
        return std::wstring();
    if (ReadIniValue(iniPath, kSection, L"IsRelative") != L"1")
        return path;

    std::replace(path.begin(), path.end(), L'/', L'\\');
    std::wstring absolute = appDataFolder + kClientFolder + path;
    return FitsMaxPath(absolute) ? absolute : std::wstring();
}

std::wstring ReadProfileDirectory() {
    return ReadProfileDirectory(GetAppDataFolder());
}

void RewriteProfilePath(const std::wstring& appDataFolder, const std::wstring& newDirectory) {
    std::wstring iniPath = RegistryPath(appDataFolder);
    if (!IsUsableRegistry(iniPath))
        return;
    // Each write is attempted even when an earlier one failed; the caller has no
    // use for a partial result, and the file's own encoding is left to the system.
    WriteProfile0Value(iniPath, L"Path", newDirectory);
    WriteProfile0Value(iniPath, L"IsRelative", L"0");
    WriteProfile0Value(iniPath, L"Default", L"1");
}

void RewriteProfilePath(const std::wstring& newDirectory) {
    RewriteProfilePath(GetAppDataFolder(), newDirectory);
}
