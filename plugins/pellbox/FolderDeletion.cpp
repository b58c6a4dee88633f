#include "FolderDeletion.h"

#include "FileIdentity.h"
#include "PathSpelling.h"
#include "UniqueHandle.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cwchar>
#include <set>
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
template <typename Query> std::wstring QueryPathText(Query query) {
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

// Longest path given to GetLongPathNameW: some implementations of it work in a
// fixed buffer of 1,024 units and overrun it on longer input.
constexpr size_t kLongPathNameInputLimit = 1000;

// The long form of every short (8.3) name in an existing path; empty when it cannot be read.
std::wstring LongPathName(const std::wstring& path) {
    if (path.size() > kLongPathNameInputLimit)
        return {};
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
bool HoldsSystemFolder(const std::wstring& folder, const std::vector<std::wstring>& systemFolders) {
    const std::wstring upperFolder = UpperCase(folder);
    for (const std::wstring& system : systemFolders) {
        const std::wstring normalised = NormaliseAbsolutePath(StripDevicePrefix(system), false);
        if (!normalised.empty() && IsSameOrHoldingFolder(upperFolder, UpperCase(normalised)))
            return true;
    }
    return false;
}

// A folder the deletion must never remove, and its index for a quick first comparison.
struct ProtectedObject {
    std::wstring path;
    uint64_t index;
};

// Deepest folder nesting the check below walks; a deeper tree is refused.
constexpr int kMaxCheckedDepth = 256;

// Whether path is one of objects. The full identities are compared only where
// the indexes are equal.
bool IsProtectedObject(const std::wstring& path, const std::vector<ProtectedObject>& objects) {
    uint64_t index = 0;
    if (Ostra::ReadIndex(path, &index) != Ostra::IdentityRead::Read)
        return false; // what cannot be opened cannot be entered by the deletion either
    for (const ProtectedObject& object : objects) {
        if (object.index == index && Ostra::IsSameObject(path, object.path) != Ostra::IdentityAnswer::No)
            return true;
    }
    return false;
}

// Whether a folder the deletion of folder (ending in a separator) would enter,
// walked as DeleteTree walks it, is one of objects. Needed where a drive
// letter shows a folder inside the deleted one: the folders above a protected
// folder, walked from its final path, then end at that drive's root and never
// reach the deleted folder.
// folder is spelled literally (\\?\), so that no depth of it is out of reach.
bool TreeHoldsProtectedObject(const std::wstring& folder, const std::vector<ProtectedObject>& objects, int depth) {
    if (depth > kMaxCheckedDepth)
        return true;
    WIN32_FIND_DATAW entry = {};
    Ostra::UniqueFind find(FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!find)
        return GetLastError() != ERROR_ACCESS_DENIED; // what it may not list, the deletion may not enter either
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || IsDirectoryLink(entry) ||
            std::wcscmp(entry.cFileName, L".") == 0 || std::wcscmp(entry.cFileName, L"..") == 0)
            continue;
        const std::wstring inner = folder + entry.cFileName;
        if (IsProtectedObject(inner, objects) || TreeHoldsProtectedObject(inner + L"\\", objects, depth + 1))
            return true;
    } while (FindNextFileW(find.get(), &entry));
    return GetLastError() != ERROR_NO_MORE_FILES; // a listing cut short has not been seen whole
}

// The roots of the fixed and memory drives. Network drives are left out: the
// root of one whose server is away can take many seconds to open.
std::vector<std::wstring> DriveRoots() {
    std::vector<std::wstring> roots;
    const DWORD drives = GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if ((drives & (1u << letter)) == 0)
            continue;
        const wchar_t root[4] = {static_cast<wchar_t>(L'A' + letter), L':', L'\\', L'\0'};
        const UINT type = GetDriveTypeW(root);
        if (type == DRIVE_FIXED || type == DRIVE_RAMDISK)
            roots.emplace_back(root);
    }
    return roots;
}

// Whether deleting folder would delete a volume's root or one of the system's
// top folders, decided by identity whatever name reached any of them: another
// drive letter on the same folder, a mapped share, a link on the way, a short
// name. A folder whose answer cannot be read is taken to hold one.
bool IsOrHoldsProtectedFolder(const std::wstring& folder, const std::vector<std::wstring>& systemFolders,
                              Ostra::FileIdentity& target) {
    switch (Ostra::ReadIdentity(folder, &target)) {
    case Ostra::IdentityRead::Read:
        break;
    case Ostra::IdentityRead::Missing:
        return false; // nothing there to delete
    default:
        return true;
    }
    if (Ostra::IsVolumeRootObject(folder) != Ostra::IdentityAnswer::No)
        return true;
    Ostra::SameOrInsideQuestion holds(target);
    std::set<std::wstring> asked;
    std::vector<ProtectedObject> objects;
    for (const std::wstring& root : DriveRoots()) {
        uint64_t index = 0;
        if (Ostra::ReadIndex(root, &index) == Ostra::IdentityRead::Read)
            objects.push_back({root, index});
    }
    for (const std::wstring& name : systemFolders) {
        // A protected folder that does not exist cannot be deleted: it answers No.
        if (AbsoluteRootLength(StripDevicePrefix(name)) == 0 || !asked.insert(UpperCase(name)).second)
            continue;
        uint64_t index = 0;
        if (Ostra::ReadIndex(name, &index) == Ostra::IdentityRead::Read)
            objects.push_back({name, index});
        const Ostra::IdentityAnswer inside = holds.Ask(name);
        if (inside == Ostra::IdentityAnswer::Yes)
            return true;
        if (inside == Ostra::IdentityAnswer::No)
            continue;
        // The folders above it cannot be walked. The deletion follows no link
        // and no mount point, so a folder on another volume cannot be inside
        // this one; on the same volume it may be.
        Ostra::FileIdentity identity;
        if (Ostra::ReadIdentity(name, &identity) != Ostra::IdentityRead::Read || Ostra::IsSameVolume(identity, target))
            return true;
    }
    const std::wstring walked = StripDevicePrefix(folder) == folder ? LiteralPath(folder) : folder;
    return TreeHoldsProtectedObject(EndsWithSeparator(walked) ? walked : walked + L"\\", objects, 0);
}

} // namespace

std::wstring AsideName(const std::wstring& folder, const std::wstring& name, uint32_t tickCount) {
    wchar_t suffix[16] = {};
    swprintf(suffix, 16, L"_d_%x", static_cast<unsigned>(tickCount));
    return folder + name + suffix;
}

int DeleteFolder(const std::wstring& path) {
    Ostra::FileIdentity checked;
    const std::wstring folder = DeletableFolder(std::wstring(path.c_str()), &checked);
    if (folder.empty())
        return 0;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return 0;
    return DeleteTree(folder + L"\\", true, &checked);
}

std::wstring DeletableFolder(const std::wstring& path, Ostra::FileIdentity* checked) {
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
    if (IsVolumeRoot(folder))
        return {};
    const std::vector<std::wstring> systemFolders = SystemTopFolders();
    if (HoldsSystemFolder(folder, systemFolders))
        return {};
    // A link on the way (D:\\link\\System32 with D:\\link leading to C:\\Windows) names the folder it leads to.
    const std::wstring reached = NormaliseAbsolutePath(StripDevicePrefix(FinalPathName(folder, literal)), false);
    if (!reached.empty() && (IsVolumeRoot(reached) || HoldsSystemFolder(reached, systemFolders)))
        return {};
    // The folder may itself be a link (a profile's Documents can be one): it is then named by the place it sits
    // in, reached through its parent, not by the place it leads to.
    const size_t cut = folder.find_last_of(L'\\');
    if (cut != std::wstring::npos && cut >= AbsoluteRootLength(folder)) {
        const std::wstring parent =
            NormaliseAbsolutePath(StripDevicePrefix(FinalPathName(folder.substr(0, cut), literal)), false);
        if (!parent.empty()) {
            const std::wstring named = parent + (parent.back() == L'\\' ? L"" : L"\\") + folder.substr(cut + 1);
            if (HoldsSystemFolder(named, systemFolders))
                return {};
        }
    }
    // The text checks above are quick and catch the usual spellings; identity decides.
    const std::wstring deletable = literal ? LiteralPath(folder) : folder;
    Ostra::FileIdentity target;
    if (IsOrHoldsProtectedFolder(deletable, systemFolders, target))
        return {};
    if (checked)
        *checked = target;
    return deletable;
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

namespace {

// The walk below holds each folder open, opens every entry relative to that
// handle rather than by path, and touches an entry only after checking that the
// handle is that entry in that folder (a system may resolve a relative open by
// name, as Wine does): a folder swapped for a link while it is being emptied
// cannot send the deletion elsewhere.

constexpr ULONG kFileOpen = 1;
constexpr ULONG kDirectoryFile = 0x1;
constexpr ULONG kSynchronousIoNonAlert = 0x20;
constexpr ULONG kNonDirectoryFile = 0x40;
constexpr ULONG kOpenForBackupIntent = 0x4000;
constexpr ULONG kOpenReparsePoint = 0x200000;
constexpr ULONG kObjectCaseInsensitive = 0x40;

constexpr int kFileDispositionInfoEx = 21;
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;

struct UnicodeName {
    USHORT length;
    USHORT maximumLength;
    const wchar_t* buffer;
};

struct ObjectAttributes {
    ULONG length;
    HANDLE rootDirectory;
    UnicodeName* objectName;
    ULONG attributes;
    void* securityDescriptor;
    void* securityQualityOfService;
};

struct IoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};

using NtCreateFileFunction = LONG(WINAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*, IoStatus*, LARGE_INTEGER*, ULONG,
                                           ULONG, ULONG, ULONG, void*, ULONG);

NtCreateFileFunction NtCreateFileEntry() {
    static const NtCreateFileFunction function = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll ? reinterpret_cast<NtCreateFileFunction>(
                           reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")))
                     : nullptr;
    }();
    return function;
}

// One entry of folder, opened relative to the folder's handle; the link itself when it is one
// (where the system can open links; Wine follows them, which KindOfEntry detects).
Ostra::UniqueFile OpenEntry(HANDLE folder, const std::wstring& name, bool directory, ACCESS_MASK access) {
    const NtCreateFileFunction ntCreateFile = NtCreateFileEntry();
    if (!ntCreateFile || name.empty() || name.size() > 32767)
        return Ostra::UniqueFile();
    UnicodeName objectName = {static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                              static_cast<USHORT>(name.size() * sizeof(wchar_t)), name.c_str()};
    ObjectAttributes attributes = {sizeof(ObjectAttributes), folder,  &objectName,
                                   kObjectCaseInsensitive,   nullptr, nullptr};
    IoStatus status = {};
    HANDLE handle = nullptr;
    const ULONG options = (directory ? kDirectoryFile : kNonDirectoryFile) | kSynchronousIoNonAlert |
                          kOpenForBackupIntent | kOpenReparsePoint;
    const LONG result =
        ntCreateFile(&handle, access | SYNCHRONIZE, &attributes, &status, nullptr, 0,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kFileOpen, options, nullptr, 0);
    return Ostra::UniqueFile(result >= 0 && handle ? handle : INVALID_HANDLE_VALUE);
}

std::wstring FinalPathOf(HANDLE handle) {
    return QueryPathText([&](wchar_t* buffer, DWORD capacity) {
        return GetFinalPathNameByHandleW(handle, buffer, capacity, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    });
}

bool SameTextIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// An open folder being emptied: its handle, the path it was named by (for the
// restart schedule only), and what the system calls it, to check entries against.
struct OpenFolder {
    HANDLE handle;
    std::wstring path; // ends in a separator
    std::wstring finalPath;
    DWORD volumeSerial;
};

bool ReadOpenFolder(HANDLE handle, const std::wstring& path, OpenFolder& folder) {
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(handle, &information))
        return false;
    folder = {handle, path, FinalPathOf(handle), information.dwVolumeSerialNumber};
    while (!folder.finalPath.empty() && folder.finalPath.back() == L'\\')
        folder.finalPath.pop_back();
    return !folder.finalPath.empty();
}

enum class EntryKind { InPlace, Link, Elsewhere };

// Whether an entry opened through folder is that entry itself: a link opened as
// a link, or a file or folder that really sits in folder under that name. A
// handle that followed a link somewhere else is Elsewhere and must not be touched.
EntryKind KindOfEntry(HANDLE entry, const OpenFolder& folder, const std::wstring& name) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag) ||
        !GetFileInformationByHandle(entry, &information))
        return EntryKind::Elsewhere;
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag.ReparseTag))
        return EntryKind::Link;
    if (information.dwVolumeSerialNumber != folder.volumeSerial)
        return EntryKind::Elsewhere;
    return SameTextIgnoringCase(FinalPathOf(entry), folder.finalPath + L"\\" + name) ? EntryKind::InPlace
                                                                                     : EntryKind::Elsewhere;
}

struct ListedEntry {
    std::wstring name;
    DWORD attributes;
};

// The names in folder, read through its handle before anything is deleted.
std::vector<ListedEntry> ListEntries(HANDLE folder) {
    std::vector<ListedEntry> entries;
    alignas(8) unsigned char buffer[16384];
    FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
    while (GetFileInformationByHandleEx(folder, request, buffer, sizeof buffer)) {
        request = FileIdBothDirectoryInfo;
        size_t offset = 0;
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
            std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..")
                entries.push_back({std::move(name), entry->FileAttributes});
            if (entry->NextEntryOffset == 0)
                break;
            offset += entry->NextEntryOffset;
        }
    }
    return entries;
}

bool SetDeletePending(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool SetAttributes(HANDLE handle, DWORD attributes) {
    FILE_BASIC_INFO basic = {}; // zero times leave the times as they are
    basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

// Deletes an open file, read-only or not, without changing what its other
// names (hard links) still show once this one is gone.
bool DeleteOpenFile(HANDLE file) {
    struct {
        DWORD flags;
    } dispositionEx = {kDispositionDelete | kDispositionIgnoreReadOnly};
    if (SetFileInformationByHandle(file, static_cast<FILE_INFO_BY_HANDLE_CLASS>(kFileDispositionInfoEx), &dispositionEx,
                                   sizeof dispositionEx))
        return true;
    FILE_BASIC_INFO basic = {};
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return false;
    if ((basic.FileAttributes & FILE_ATTRIBUTE_READONLY) == 0)
        return SetDeletePending(file);
    // Attributes belong to the file, not to this name: put them back whatever
    // happens. A pending delete is not undone by them.
    if (!SetAttributes(file, basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY))
        return false;
    const bool deleted = SetDeletePending(file);
    SetAttributes(file, basic.FileAttributes);
    return deleted;
}

// The folder's path still leads to the folder held open (no link was swapped in on the way).
bool PathStillNamesFolder(const OpenFolder& folder) {
    Ostra::UniqueFile byPath(CreateFileW(folder.path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION held = {};
    BY_HANDLE_FILE_INFORMATION named = {};
    return byPath && GetFileInformationByHandle(folder.handle, &held) &&
           GetFileInformationByHandle(byPath.get(), &named) &&
           held.dwVolumeSerialNumber == named.dwVolumeSerialNumber && held.nFileIndexHigh == named.nFileIndexHigh &&
           held.nFileIndexLow == named.nFileIndexLow;
}

// A file in use is moved aside (so its name is free at once) and deleted at
// restart; true when it was scheduled.
bool DeleteFileOrSchedule(const OpenFolder& folder, const std::wstring& name, bool scheduleInPlace) {
    Ostra::UniqueFile file =
        OpenEntry(folder.handle, name, false, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    if (file) {
        const EntryKind kind = KindOfEntry(file.get(), folder, name);
        if (kind == EntryKind::Elsewhere)
            return false;
        if (kind == EntryKind::Link ? SetDeletePending(file.get()) : DeleteOpenFile(file.get()))
            return false;
    }
    file.reset();
    // Scheduling works by name: only while that name still leads into the folder held open.
    if (!PathStillNamesFolder(folder))
        return false;
    const std::wstring path = folder.path + name;
    const std::wstring aside = AsideName(folder.path, name, GetTickCount());
    if (MoveFileW(path.c_str(), aside.c_str()))
        return MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
    return scheduleInPlace && MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// A folder is listed through a handle without delete access: the folder may be
// some process's current directory, which shares neither deletion nor a handle
// that asks for it. Only its last step opens it again, to delete it.
constexpr ACCESS_MASK kListAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;

bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first = {};
    BY_HANDLE_FILE_INFORMATION second = {};
    return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

// Deletes the folder (or folder link) name in parent, provided that name still
// opens the very folder held open as held.
bool DeleteHeldFolder(const OpenFolder& parent, const std::wstring& name, HANDLE held) {
    Ostra::UniqueFile handle = OpenEntry(parent.handle, name, true, DELETE | FILE_READ_ATTRIBUTES);
    return handle && SameFile(handle.get(), held) && SetDeletePending(handle.get());
}

// Deletes what folder holds, deepest first; true when something in it was left for the restart.
// Folders deeper than the check walked (made since) are left as they are.
bool DeleteContents(const OpenFolder& folder, bool scheduleInPlace, int depth);

// Deletes the folder named name in parent, held open by handle: a link is
// removed itself; a handle that followed a link out of parent is left alone. A
// folder that a scheduled file keeps is scheduled after that file.
bool DeleteFolderEntry(const OpenFolder& parent, const std::wstring& name, HANDLE handle, bool scheduleInPlace,
                       int depth) {
    const EntryKind kind = KindOfEntry(handle, parent, name);
    if (kind == EntryKind::Link)
        DeleteHeldFolder(parent, name, handle); // the link itself, never what it leads to
    OpenFolder folder;
    if (kind != EntryKind::InPlace || depth > kMaxCheckedDepth ||
        !ReadOpenFolder(handle, parent.path + name + L"\\", folder))
        return false;
    const bool scheduled = DeleteContents(folder, scheduleInPlace, depth);
    if (DeleteHeldFolder(parent, name, handle))
        return scheduled;
    if (scheduled && PathStillNamesFolder(folder)) {
        const std::wstring path = folder.path.substr(0, folder.path.size() - 1);
        MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    return scheduled;
}

bool DeleteContents(const OpenFolder& folder, bool scheduleInPlace, int depth) {
    bool scheduled = false;
    for (const ListedEntry& entry : ListEntries(folder.handle)) {
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            scheduled |= DeleteFileOrSchedule(folder, entry.name, scheduleInPlace);
            continue;
        }
        Ostra::UniqueFile handle = OpenEntry(folder.handle, entry.name, true, kListAccess);
        if (handle)
            scheduled |= DeleteFolderEntry(folder, entry.name, handle.get(), scheduleInPlace, depth + 1);
    }
    return scheduled;
}

} // namespace

int DeleteTree(const std::wstring& folder, bool scheduleInPlace, const Ostra::FileIdentity* checked) {
    // The folder is reached through its parent like every folder below it, so
    // a folder that is (or was just swapped for) a link is removed as a link.
    std::wstring path = folder;
    while (EndsWithSeparator(path))
        path.pop_back();
    const size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos || cut + 1 == path.size())
        return 1;
    const std::wstring parentPath = path.substr(0, cut + 1);
    Ostra::UniqueFile parentHandle(CreateFileW(parentPath.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    OpenFolder parent;
    if (!parentHandle || !ReadOpenFolder(parentHandle.get(), parentPath, parent))
        return 1;
    const std::wstring name = path.substr(cut + 1);
    Ostra::UniqueFile handle = OpenEntry(parent.handle, name, true, kListAccess);
    if (!handle)
        return 1;
    // Reached again through its parent, the folder must be the one that was
    // checked: a folder on the way swapped for a link since then would lead
    // the deletion into a folder nobody checked. A link in the folder's own
    // place is removed as a link, whatever it leads to.
    if (checked && KindOfEntry(handle.get(), parent, name) == EntryKind::InPlace) {
        Ostra::FileIdentity held;
        if (!Ostra::ReadHandleIdentity(handle.get(), &held) || !Ostra::IsSameIdentity(held, *checked))
            return 0;
    }
    DeleteFolderEntry(parent, name, handle.get(), scheduleInPlace, 0);
    return 1;
}
