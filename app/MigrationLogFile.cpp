#include "MigrationLogFile.h"

#include <CrashExit.h>
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
        BY_HANDLE_FILE_INFORMATION facts;
        if (!WriteAll(file.get(), "\xEF\xBB\xBF") || !GetFileInformationByHandle(file.get(), &facts))
            return false;
        volumeSerial_ = facts.dwVolumeSerialNumber;
        fileIndex_ = (static_cast<unsigned long long>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow;
        path_ = path;
        // A fault from here on is reported at the end of this log.
        Ostra::SetCrashReportFile(path_.c_str());
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
    // The folder is the user's own: between two lines another program could
    // put a link, or another file, where the log was. The file is opened
    // without following links and written only when it is still the log
    // this run created.
    Ostra::UniqueFile file(CreateFileW(path_.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION facts;
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &facts) ||
        (facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || facts.dwVolumeSerialNumber != volumeSerial_ ||
        ((static_cast<unsigned long long>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow) != fileIndex_) {
        failed_ = true;
        return false;
    }
    return WriteAll(file.get(), ToUtf8(line) + "\r\n");
}
