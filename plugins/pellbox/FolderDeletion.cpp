#include "FolderDeletion.h"

#include "UniqueHandle.h"

#include <windows.h>

#include <cwchar>

namespace {

bool EndsWithSeparator(const std::wstring& path) {
    return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

// Junctions and directory symbolic links carry the directory attribute but
// belong to someone else's tree. Other reparse points (cloud placeholders,
// deduplicated folders) are ordinary folders of ours.
bool IsDirectoryLink(const WIN32_FIND_DATAW& entry) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return false;
    return entry.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT || entry.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
           entry.dwReserved0 == 0;
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (EndsWithSeparator(path))
        path.pop_back();
    return path;
}

// path is written without trailing separators.
bool IsFolderLink(const std::wstring& path) {
    if (path.empty() || path.back() == L':')
        return false; // a drive root is no link, and "C:" alone would name the current directory
    WIN32_FIND_DATAW entry = {};
    Ostra::UniqueFind find(FindFirstFileW(path.c_str(), &entry));
    return find && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsDirectoryLink(entry);
}

void DeleteFileOrSchedule(const std::wstring& folder, const wchar_t* name, bool scheduleInPlace) {
    const std::wstring path = folder + name;
    SetFileAttributesW(path.c_str(), 0);
    if (DeleteFileW(path.c_str()))
        return;
    const std::wstring aside = AsideName(folder, name, GetTickCount());
    if (MoveFileW(path.c_str(), aside.c_str()))
        MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    else if (scheduleInPlace)
        MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

} // namespace

std::wstring AsideName(const std::wstring& folder, const std::wstring& name, uint32_t tickCount) {
    wchar_t suffix[16] = {};
    swprintf(suffix, 16, L"_d_%x", static_cast<unsigned>(tickCount));
    return folder + name + suffix;
}

int DeleteFolder(const std::wstring& path) {
    const std::wstring given(path.c_str());
    const DWORD attributes = GetFileAttributesW(given.c_str());
    if (given.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return 0;
    // "C:" names the current directory of drive C; appending a separator
    // would turn it into the root of the drive, which is not what was named.
    if (given.size() == 2 && given[1] == L':')
        return 0;
    std::wstring folder = given;
    if (!EndsWithSeparator(folder))
        folder += L'\\';
    return DeleteTree(folder, true);
}

int DeleteTree(const std::wstring& folder, bool scheduleInPlace) {
    const std::wstring link = WithoutTrailingSeparators(folder);
    if (IsFolderLink(link)) {
        RemoveDirectoryW(link.c_str());
        return 1;
    }
    WIN32_FIND_DATAW entry = {};
    Ostra::UniqueFind find(FindFirstFileW((folder + L"*").c_str(), &entry));
    if (find) {
        do {
            const bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (!isDirectory) {
                DeleteFileOrSchedule(folder, entry.cFileName, scheduleInPlace);
            } else if (IsDirectoryLink(entry)) {
                RemoveDirectoryW((folder + entry.cFileName).c_str());
            } else if (std::wcscmp(entry.cFileName, L".") != 0 && std::wcscmp(entry.cFileName, L"..") != 0) {
                DeleteTree(folder + entry.cFileName + L"\\", scheduleInPlace);
            }
        } while (FindNextFileW(find.get(), &entry));
    }
    find.reset();
    RemoveDirectoryW(folder.c_str());
    return 1;
}
