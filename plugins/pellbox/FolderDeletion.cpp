#include "FolderDeletion.h"

#include "PathSpelling.h"
#include "UniqueHandle.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

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

std::wstring UpperCase(const std::wstring& text) {
    if (text.empty())
        return text;
    std::wstring upper(text.size(), L'\0');
    const int length =
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(), static_cast<int>(text.size()), &upper[0],
                      static_cast<int>(upper.size()), nullptr, nullptr, 0);
    return length == static_cast<int>(text.size()) ? upper : text;
}

// The text a path query writes, asked once more with the size it reports when
// the first buffer is too small; empty when the query fails.
// query(buffer, capacity) returns the length written, or the capacity it needs.
template <typename Query>
std::wstring QueryPathText(Query query) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = query(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.assign(length + 1, L'\0');
    }
    return {};
}

// The system's own reading of an absolute path ("." and "..", separators, name ends).
std::wstring FullPathName(const std::wstring& path) {
    return QueryPathText(
        [&](wchar_t* buffer, DWORD capacity) { return GetFullPathNameW(path.c_str(), capacity, buffer, nullptr); });
}

// The long form of every short (8.3) name in an existing path; empty when it cannot be read.
std::wstring LongPathName(const std::wstring& path) {
    return QueryPathText(
        [&](wchar_t* buffer, DWORD capacity) { return GetLongPathNameW(path.c_str(), buffer, capacity); });
}

// The path the system reaches when it opens an existing folder, links followed; empty when it cannot tell.
std::wstring FinalPathName(const std::wstring& folder, bool literal) {
    Ostra::UniqueFile handle(CreateFileW((literal ? LiteralPath(folder) : folder).c_str(), 0,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle)
        return {};
    return QueryPathText([&](wchar_t* buffer, DWORD capacity) {
        return GetFinalPathNameByHandleW(handle.get(), buffer, capacity, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    });
}

// Deleting folder would delete one of the system's top folders, or the folder itself is one.
bool HoldsSystemFolder(const std::wstring& folder) {
    const std::wstring upperFolder = UpperCase(folder);
    for (const std::wstring& system : SystemTopFolders()) {
        const std::wstring normalised = NormaliseAbsolutePath(StripDevicePrefix(system), false);
        if (!normalised.empty() && IsSameOrHoldingFolder(upperFolder, UpperCase(normalised)))
            return true;
    }
    return false;
}

} // namespace

std::wstring AsideName(const std::wstring& folder, const std::wstring& name, uint32_t tickCount) {
    wchar_t suffix[16] = {};
    swprintf(suffix, 16, L"_d_%x", static_cast<unsigned>(tickCount));
    return folder + name + suffix;
}

int DeleteFolder(const std::wstring& path) {
    const std::wstring folder = DeletableFolder(std::wstring(path.c_str()));
    if (folder.empty())
        return 0;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return 0;
    return DeleteTree(folder + L"\\", true);
}

std::wstring DeletableFolder(const std::wstring& path) {
    bool literal = false;
    const std::wstring stripped = StripDevicePrefix(path, &literal);
    if (AbsoluteRootLength(stripped) == 0)
        return {};
    std::wstring folder = NormaliseAbsolutePath(literal ? stripped : FullPathName(stripped), !literal);
    if (folder.empty())
        return {};
    // A short name such as PROGRA~1 names the same folder as its long name.
    const std::wstring longName = LongPathName(literal ? LiteralPath(folder) : folder);
    if (!longName.empty()) {
        const std::wstring expanded = NormaliseAbsolutePath(StripDevicePrefix(longName), !literal);
        if (!expanded.empty())
            folder = expanded;
    }
    if (IsVolumeRoot(folder) || HoldsSystemFolder(folder))
        return {};
    // A link on the way (D:\\link\\System32 with D:\\link leading to C:\\Windows) names the folder it leads to.
    const std::wstring reached = NormaliseAbsolutePath(StripDevicePrefix(FinalPathName(folder, literal)), false);
    if (!reached.empty() && (IsVolumeRoot(reached) || HoldsSystemFolder(reached)))
        return {};
    // The folder may itself be a link (a profile's Documents can be one): it is then named by the place it sits
    // in, reached through its parent, not by the place it leads to.
    const size_t cut = folder.find_last_of(L'\\');
    if (cut != std::wstring::npos && cut >= AbsoluteRootLength(folder)) {
        const std::wstring parent =
            NormaliseAbsolutePath(StripDevicePrefix(FinalPathName(folder.substr(0, cut), literal)), false);
        if (!parent.empty()) {
            const std::wstring named = parent + (parent.back() == L'\\' ? L"" : L"\\") + folder.substr(cut + 1);
            if (HoldsSystemFolder(named))
                return {};
        }
    }
    return literal ? LiteralPath(folder) : folder;
}

std::vector<std::wstring> SystemTopFolders() {
    std::vector<std::wstring> folders;
    wchar_t buffer[MAX_PATH] = {};
    const auto add = [&](DWORD length) {
        if (length > 0 && length < MAX_PATH)
            folders.emplace_back(buffer, length);
    };
    add(GetWindowsDirectoryW(buffer, MAX_PATH));
    // System32 as a WOW64 process reaches it.
    if (!folders.empty())
        folders.push_back(folders.back() + L"\\Sysnative");
    add(GetSystemWindowsDirectoryW(buffer, MAX_PATH));
    add(GetSystemDirectoryW(buffer, MAX_PATH));
    add(GetSystemWow64DirectoryW(buffer, MAX_PATH));
    // The 64-bit Program Files of a WOW64 process has no folder id of its own.
    for (const wchar_t* name : {L"ProgramW6432", L"ProgramFiles", L"ProgramFiles(x86)", L"USERPROFILE", L"SystemRoot"})
        add(GetEnvironmentVariableW(name, buffer, MAX_PATH));

    const KNOWNFOLDERID* const known[] = {
        &FOLDERID_Windows,         &FOLDERID_System,       &FOLDERID_SystemX86,    &FOLDERID_ProgramFiles,
        &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramData,  &FOLDERID_UserProfiles, &FOLDERID_Public,
        &FOLDERID_Profile,         &FOLDERID_Desktop,      &FOLDERID_Documents,    &FOLDERID_Downloads,
        &FOLDERID_RoamingAppData,  &FOLDERID_LocalAppData,
    };
    for (const KNOWNFOLDERID* id : known) {
        wchar_t* found = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(*id, KF_FLAG_DONT_VERIFY, nullptr, &found)) && found)
            folders.emplace_back(found);
        CoTaskMemFree(found);
    }

    // AppData holds Roaming and Local but has no folder id of its own.
    std::vector<std::wstring> derived;
    for (const std::wstring& folder : folders) {
        const std::wstring normalised = NormaliseAbsolutePath(folder, false);
        const size_t cut = normalised.find_last_of(L'\\');
        if (normalised.empty() || cut == std::wstring::npos || IsVolumeRoot(normalised))
            continue;
        const std::wstring name = UpperCase(normalised.substr(cut + 1));
        if (name == L"ROAMING" || name == L"LOCAL")
            derived.push_back(normalised.substr(0, cut));
    }
    folders.insert(folders.end(), derived.begin(), derived.end());
    return folders;
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
