#include "MigrationLogFile.h"

#include <UniqueHandle.h>
#include <shlobj.h>
#include <windows.h>

#include <cwchar>

namespace {

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], bytes, nullptr, nullptr);
    return out;
}

std::wstring DefaultFolder() {
    wchar_t local[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, local)))
        return std::wstring();
    return std::wstring(local) + L"\\Ostra Mail\\Movara";
}

} // namespace

std::wstring LogFileName(int year, int month, int day, int hour, int minute, int second) {
    wchar_t name[64];
    swprintf(name, sizeof(name) / sizeof(name[0]), L"migration-%04d%02d%02d-%02d%02d%02d.log", year, month, day, hour,
             minute, second);
    return name;
}

bool MigrationLogFile::Create() {
    if (folder_.empty())
        folder_ = DefaultFolder();
    if (folder_.empty())
        return false;
    // Each level in turn; an existing one is fine.
    for (std::size_t at = folder_.find(L'\\', 3); at != std::wstring::npos; at = folder_.find(L'\\', at + 1))
        CreateDirectoryW(folder_.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(folder_.c_str(), nullptr);

    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::wstring base =
        folder_ + L"\\" + LogFileName(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    // Two runs within one second get names of their own.
    for (int attempt = 1; attempt <= 100; ++attempt) {
        std::wstring path = base;
        if (attempt > 1)
            path.insert(path.size() - 4, L"-" + std::to_wstring(attempt));
        Ostra::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            if (GetLastError() == ERROR_FILE_EXISTS)
                continue;
            return false;
        }
        if (!WriteAll(file.get(), "\xEF\xBB\xBF"))
            return false;
        path_ = path;
        return true;
    }
    return false;
}

bool MigrationLogFile::Append(const std::wstring& line) {
    if (failed_)
        return false;
    if (path_.empty() && !Create()) {
        failed_ = true;
        return false;
    }
    Ostra::UniqueFile file(CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && WriteAll(file.get(), ToUtf8(line) + "\r\n");
}
