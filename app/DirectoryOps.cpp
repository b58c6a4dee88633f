#include "DirectoryOps.h"

#include "PathRules.h"

#include <FileIdentity.h>
#include <FinalPathText.h>
#include <UniqueHandle.h>
#include <windows.h>

#include <vector>

bool DirectoryExists(const std::wstring& path) {
    std::wstring pattern = DirectorySearchPattern(path);
    if (pattern.empty())
        return false;
    WIN32_FIND_DATAW found;
    Ostra::UniqueFind search(FindFirstFileW(pattern.c_str(), &found));
    return search.valid();
}

bool CreateDirectoryPath(const std::wstring& path) {
    if (path.size() + 1 > kPathBufferChars)
        return false;
    // An empty descriptor: no owner, group or lists, so the new directory
    // takes the access rules it inherits from its parent.
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION))
        return false;
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = TRUE;
    for (const std::wstring& directory : DirectoryPrefixes(path)) {
        if (DirectoryExists(directory))
            continue;
        if (CreateDirectoryW(directory.c_str(), &attributes))
            continue;
        // An empty drive root has no entry to find but is there all the same.
        DWORD existing = GetFileAttributesW(directory.c_str());
        if (existing == INVALID_FILE_ATTRIBUTES || !(existing & FILE_ATTRIBUTE_DIRECTORY))
            return false;
    }
    return true;
}

const wchar_t kUnfinishedMarkName[] = L".movara-unfinished";

namespace {

constexpr DWORD kMarkMaxBytes = 65536;

std::wstring MarkPath(const std::wstring& destination) {
    std::wstring path = destination;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    return path + kUnfinishedMarkName;
}

std::wstring WithoutLongPathPrefix(const std::wstring& path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path.substr(4);
    return path;
}

// Longest path given to GetLongPathNameW: some implementations of it work in a
// fixed buffer of 1,024 units and overrun it on longer input.
constexpr std::size_t kLongNameInputLimit = 1000;

bool LongName(const std::wstring& path, std::wstring* out) {
    if (path.size() > kLongNameInputLimit)
        return false;
    DWORD needed = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0)
        return false;
    std::wstring buffer(needed, L'\0');
    DWORD got = GetLongPathNameW(path.c_str(), &buffer[0], needed);
    if (got == 0 || got >= needed)
        return false;
    buffer.resize(got);
    *out = buffer;
    return true;
}

} // namespace

bool IsExistingFolder(const std::wstring& path) {
    if (path.empty())
        return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FullPath(const std::wstring& path) {
    if (path.empty())
        return path;
    const std::wstring given = WithoutLongPathPrefix(path);
    DWORD needed = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    DWORD got = GetFullPathNameW(given.c_str(), needed, &full[0], nullptr);
    if (got == 0 || got >= needed)
        return path;
    full.resize(got);
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/'))
        full.pop_back();

    // Short names are resolved on the longest part that exists; the rest is
    // kept as it was written.
    std::wstring head = full, tail;
    for (int level = 0; level < 512; ++level) {
        std::wstring longHead;
        if (LongName(head, &longHead))
            return longHead + tail;
        std::size_t cut = head.find_last_of(L"\\/");
        if (cut == std::wstring::npos || cut < 3)
            break;
        tail = head.substr(cut) + tail;
        head.resize(cut);
    }
    return full;
}

DestinationContents InspectDestination(const std::wstring& destination) {
    DestinationContents contents;
    DWORD attributes = GetFileAttributesW(destination.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        contents.kind = (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                            ? DestinationContents::Kind::Missing
                            : DestinationContents::Kind::NotAFolder;
        return contents;
    }
    // A link or junction leads wherever its owner points it, and the
    // destination's owner is not always the one running Movara.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        contents.kind = DestinationContents::Kind::NotAFolder;
        return contents;
    }
    std::wstring pattern = destination;
    if (pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    Ostra::UniqueFind search(FindFirstFileW(pattern.c_str(), &found));
    if (!search.valid()) {
        // An empty drive root lists nothing at all.
        contents.kind = GetLastError() == ERROR_FILE_NOT_FOUND ? DestinationContents::Kind::Empty
                                                               : DestinationContents::Kind::NotAFolder;
        return contents;
    }
    bool marked = false, others = false;
    do {
        const wchar_t* name = found.cFileName;
        if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0)
            continue;
        if (_wcsicmp(name, kUnfinishedMarkName) == 0 && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            marked = true;
        else
            others = true;
    } while (FindNextFileW(search.get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        // A listing cut short cannot tell an empty folder from a full one.
        contents.kind = DestinationContents::Kind::NotAFolder;
        return contents;
    }

    if (!marked) {
        contents.kind = others ? DestinationContents::Kind::Occupied : DestinationContents::Kind::Empty;
        return contents;
    }
    contents.kind = DestinationContents::Kind::LeftByEarlierRun;
    Ostra::UniqueFile mark(CreateFileW(MarkPath(destination).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!mark.valid())
        return contents; // an unreadable mark names no source, so it matches none
    std::string text(kMarkMaxBytes, '\0');
    DWORD read = 0;
    if (!ReadFile(mark.get(), &text[0], kMarkMaxBytes, &read, nullptr))
        return contents;
    if (read == 0 && !others) {
        // All a run ended between making the mark and writing it leaves.
        contents.kind = DestinationContents::Kind::Empty;
        return contents;
    }
    text.resize(read);
    int chars =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (chars <= 0)
        return contents;
    std::wstring source(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &source[0], chars);
    contents.markedSource = source;
    return contents;
}

bool MarkUnfinishedCopy(const std::wstring& destination, const std::wstring& source) {
    int bytes =
        WideCharToMultiByte(CP_UTF8, 0, source.data(), static_cast<int>(source.size()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0 || static_cast<DWORD>(bytes) > kMarkMaxBytes)
        return false;
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, source.data(), static_cast<int>(source.size()), &text[0], bytes, nullptr, nullptr);
    // The destination is writable by the user's other programs: the mark is
    // created new, so that a link planted at its name is removed rather than
    // followed (only the link itself can be removed by name).
    const std::wstring path = MarkPath(destination);
    DeleteFileW(path.c_str());
    Ostra::UniqueFile mark(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!mark.valid())
        return false;
    DWORD written = 0;
    return WriteFile(mark.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && FlushFileBuffers(mark.get());
}

bool ClearUnfinishedMark(const std::wstring& destination) {
    const std::wstring path = MarkPath(destination);
    if (DeleteFileW(path.c_str()))
        return true;
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

namespace {

constexpr int kMaxMirrorDepth = 256;

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

std::wstring Literal(const std::wstring& path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path;
    if (path.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

// The path the system gives for an open object; empty when it gives none.
std::wstring FinalPath(HANDLE object) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(object, &buffer[0], static_cast<DWORD>(buffer.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0 || length > Ostra::kMaxIdentityPathUnits)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(length + 1, L'\0');
    }
    return {};
}

// The names in an open folder (without "." and ".."), read through its handle.
bool ListFolder(HANDLE folder, std::vector<std::wstring>* names) {
    alignas(8) unsigned char buffer[16384];
    FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(folder, kind, buffer, sizeof buffer))
            return GetLastError() == ERROR_NO_MORE_FILES;
        kind = FileIdBothDirectoryInfo;
        for (size_t at = 0;;) {
            const auto* item = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + at);
            const std::wstring name(item->FileName, item->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..")
                names->push_back(name);
            if (item->NextEntryOffset == 0 || at + item->NextEntryOffset >= sizeof buffer)
                break;
            at += item->NextEntryOffset;
        }
    }
}

class Mirror {
public:
    explicit Mirror(const Ostra::FileIdentity& copy) : inside_(copy) {}

    void Walk(const std::wstring& source, const std::wstring& copy, bool atRoot, int depth) {
        if (depth > kMaxMirrorDepth)
            return Fail(copy, ERROR_FILENAME_EXCED_RANGE);
        WIN32_FIND_DATAW entry;
        Ostra::UniqueFind find(FindFirstFileW(Literal(Join(copy, L"*")).c_str(), &entry));
        if (!find)
            return Fail(copy, GetLastError());
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L".." || (atRoot && _wcsicmp(name.c_str(), kUnfinishedMarkName) == 0))
                continue;
            const std::wstring inSource = Join(source, name), inCopy = Join(copy, name);
            const DWORD there = GetFileAttributesW(Literal(inSource).c_str());
            if (there == INVALID_FILE_ATTRIBUTES) {
                const DWORD error = GetLastError();
                if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                    Remove(inCopy, depth);
                // Anything else cannot tell whether the source has it: kept.
                continue;
            }
            const bool folderInCopy = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                      !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
            if (folderInCopy && (there & FILE_ATTRIBUTE_DIRECTORY))
                Walk(inSource, inCopy, false, depth + 1);
        } while (FindNextFileW(find.get(), &entry));
        if (GetLastError() != ERROR_NO_MORE_FILES)
            Fail(copy, GetLastError()); // what was not listed was not compared
    }

    MirrorOutcome outcome;

private:
    void Fail(const std::wstring& path, DWORD error) {
        if (outcome.complete) {
            outcome.failedPath = path;
            outcome.error = error;
        }
        outcome.complete = false;
    }

    // Removes path, and first everything inside it when it is a real folder.
    // The entry is opened as itself (a link is not followed) and removed
    // through that handle, and only when the folder holding it lies inside
    // the copy: a folder on the way swapped for a link since it was listed
    // would otherwise send the removal elsewhere. A folder's entries are
    // listed through the same handle.
    void Remove(const std::wstring& path, int depth) {
        Ostra::UniqueFile entry(
            CreateFileW(Literal(path).c_str(),
                        DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!entry)
            return Fail(path, GetLastError());
        std::wstring holder = FinalPath(entry.get());
        if (holder.empty() || !Ostra::CutToParent(&holder) || inside_.Ask(holder) != Ostra::IdentityAnswer::Yes)
            return Fail(path, ERROR_ACCESS_DENIED);
        BY_HANDLE_FILE_INFORMATION facts;
        if (!GetFileInformationByHandle(entry.get(), &facts))
            return Fail(path, GetLastError());
        const bool link = (facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if ((facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link) {
            if (depth > kMaxMirrorDepth)
                return Fail(path, ERROR_FILENAME_EXCED_RANGE);
            std::vector<std::wstring> names;
            if (!ListFolder(entry.get(), &names))
                return Fail(path, GetLastError());
            for (const std::wstring& name : names)
                Remove(Join(path, name), depth + 1);
        }
        if (facts.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
            // Clearing the attribute of a file with another name would change
            // that other name's file too: such a file stays.
            if (facts.nNumberOfLinks > 1)
                return Fail(path, ERROR_ACCESS_DENIED);
            FILE_BASIC_INFO basic = {};
            basic.FileAttributes = (facts.dwFileAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY)) | FILE_ATTRIBUTE_NORMAL;
            if (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                basic.FileAttributes &= ~DWORD(FILE_ATTRIBUTE_NORMAL);
            SetFileInformationByHandle(entry.get(), FileBasicInfo, &basic, sizeof basic);
        }
        FILE_DISPOSITION_INFO disposition = {TRUE};
        if (!SetFileInformationByHandle(entry.get(), FileDispositionInfo, &disposition, sizeof disposition))
            return Fail(path, GetLastError());
        ++outcome.removed;
    }

    Ostra::SameOrInsideQuestion inside_;
};

} // namespace

MirrorOutcome RemoveWhatSourceLacks(const std::wstring& source, const std::wstring& copy) {
    // The copy's own folder, opened as itself: removals happen only inside a
    // real folder, never inside whatever a link put in its place leads to.
    Ostra::FileIdentity copyIdentity;
    Ostra::UniqueFile root(CreateFileW(Literal(copy).c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!root || !GetFileInformationByHandleEx(root.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !Ostra::ReadHandleIdentity(root.get(), &copyIdentity)) {
        MirrorOutcome outcome;
        outcome.complete = false;
        outcome.failedPath = copy;
        outcome.error = root && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? DWORD(ERROR_ACCESS_DENIED)
                                                                                    : GetLastError();
        return outcome;
    }
    root.reset();
    Mirror mirror(copyIdentity);
    mirror.Walk(source, copy, true, 0);
    return mirror.outcome;
}
