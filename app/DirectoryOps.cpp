#include "DirectoryOps.h"

#include "PathRules.h"

#include <UniqueHandle.h>
#include <windows.h>

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

bool LongName(const std::wstring& path, std::wstring* out) {
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
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
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
    Ostra::UniqueFile mark(CreateFileW(MarkPath(destination).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
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
