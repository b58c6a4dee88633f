#include "ProfileRegistry.h"

#include <UniqueHandle.h>
#include <shlobj.h>
#include <windows.h>

#include <cwctype>

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

bool IsAbsolutePath(const std::wstring& path) {
    const bool driveRoot =
        path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    const bool share = path.size() >= 5 && (path[0] == L'\\' || path[0] == L'/') &&
                       (path[1] == L'\\' || path[1] == L'/') && path[2] != L'\\' && path[2] != L'/';
    return driveRoot || share;
}

// The registry file is small; this bound only keeps a damaged one from
// taking all memory.
constexpr DWORD kMaxRegistryBytes = 256u * 1024 * 1024;

bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
    Ostra::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxRegistryBytes)
        return false;
    bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return size.QuadPart == 0 ||
           (ReadFile(file.get(), &(*bytes)[0], static_cast<DWORD>(size.QuadPart), &read, nullptr) &&
            read == size.QuadPart);
}

// Writes a file that did not exist: a name already taken (a leftover, or a
// link someone planted to send our writes elsewhere) is removed first, and
// only a plain file or link can be removed, never what a link leads to.
bool WriteNewFile(const std::wstring& path, const std::string& bytes) {
    DeleteFileW(path.c_str());
    Ostra::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    DWORD written = 0;
    return file &&
           (bytes.empty() ||
            (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
             written == bytes.size())) &&
           FlushFileBuffers(file.get());
}

bool FlushExisting(const std::wstring& path) {
    Ostra::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return file && FlushFileBuffers(file.get());
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
        return IsAbsolutePath(path) ? path : std::wstring();

    std::replace(path.begin(), path.end(), L'/', L'\\');
    std::wstring absolute = appDataFolder + kClientFolder + path;
    return FitsMaxPath(absolute) ? absolute : std::wstring();
}

std::wstring ReadProfileDirectory() {
    return ReadProfileDirectory(GetAppDataFolder());
}

bool RewriteProfilePath(const std::wstring& appDataFolder, const std::wstring& newDirectory,
                        const std::function<bool(RewriteStep)>& failStep) {
    const auto failed = [&](RewriteStep step) { return failStep && failStep(step); };
    const std::wstring iniPath = RegistryPath(appDataFolder);
    if (!IsUsableRegistry(iniPath))
        return false;
    const std::wstring copy = iniPath + L".movara-new";
    const std::wstring backup = iniPath + L".movara-backup";
    std::string original;
    if (failed(RewriteStep::ReadOriginal) || !ReadWholeFile(iniPath, &original))
        return false;
    bool done = !failed(RewriteStep::CreateCopy) && WriteNewFile(copy, original);
    // The file's own encoding is left to the system's functions.
    done = done && !failed(RewriteStep::WriteValues) && WriteProfile0Value(copy, L"Path", newDirectory) &&
           WriteProfile0Value(copy, L"IsRelative", L"0") && WriteProfile0Value(copy, L"Default", L"1");
    done = done && !failed(RewriteStep::ReadBack) && ReadIniValue(copy, kSection, L"Path") == newDirectory &&
           ReadIniValue(copy, kSection, L"IsRelative") == L"0" && ReadIniValue(copy, kSection, L"Default") == L"1" &&
           FlushExisting(copy);
    done = done && !failed(RewriteStep::KeepBackup) && WriteNewFile(backup, original);
    // One rename: whenever the process ends, profiles.ini is either the old
    // file or the new one, never a mix or nothing.
    done = done && !failed(RewriteStep::Replace) &&
           MoveFileExW(copy.c_str(), iniPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!done)
        DeleteFileW(copy.c_str());
    return done;
}

bool RewriteProfilePath(const std::wstring& newDirectory) {
    return RewriteProfilePath(GetAppDataFolder(), newDirectory);
}

std::wstring ProfileRegistryPath(const std::wstring& appDataFolder) {
    return RegistryPath(appDataFolder);
}

bool RegistryCanHold(const std::wstring& iniPath, const std::wstring& path) {
    Ostra::UniqueFile file(CreateFileW(iniPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    unsigned char start[2] = {};
    DWORD read = 0;
    if (file && ReadFile(file.get(), start, 2, &read, nullptr) && read == 2 && start[0] == 0xFF && start[1] == 0xFE)
        return true; // UTF-16: every path fits
    if (path.empty() || GetACP() == CP_UTF8)
        return true;
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), static_cast<int>(path.size()),
                                          nullptr, 0, nullptr, &lossy);
    if (bytes <= 0 || lossy)
        return false;
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), static_cast<int>(path.size()), &narrow[0], bytes,
                        nullptr, &lossy);
    const int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), bytes, nullptr, 0);
    if (units <= 0 || lossy)
        return false;
    std::wstring back(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), bytes, &back[0], units);
    return back == path;
}
