#include "FileIdentity.h"

#include "FinalPathText.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <cstring>

namespace Ostra {

namespace {

// The file-system query behind GetFileInformationByHandle, asked for the
// index alone: the full call also asks the volume for its serial number.
struct IoStatusBlock {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
using QueryInformationFile = LONG(WINAPI*)(HANDLE, IoStatusBlock*, void*, ULONG, int);
constexpr int kFileInternalInformation = 6;

QueryInformationFile FindQueryInformationFile() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll ? reinterpret_cast<QueryInformationFile>(
                       reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationFile")))
                 : nullptr;
}

// FileIdInfo and its FILE_ID_INFO record, which headers declare only for
// Windows 8 and later; the program also runs on systems before them.
constexpr FILE_INFO_BY_HANDLE_CLASS kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
struct FileIdRecord {
    ULONGLONG volumeSerialNumber;
    BYTE identifier[16];
};

// Cleared once the system rejects FileIdInfo as an unknown class (before
// Windows 8), so that it is not asked again for every object.
volatile LONG fileIdInfoKnown = 1;

UniqueFile OpenObject(const std::wstring& path) {
    if (path.empty() || path.size() > kMaxIdentityPathUnits || path.find(L'\0') != std::wstring::npos) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return UniqueFile();
    }
    return UniqueFile(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool IsMissingError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_NETPATH || error == ERROR_INVALID_DRIVE;
}

// The system's final path of an open object, drive letter form first, then
// the volume name form for a volume without a letter; empty when neither.
std::wstring FinalPathOf(HANDLE file) {
    const DWORD kinds[] = {VOLUME_NAME_DOS, VOLUME_NAME_GUID};
    for (DWORD kind : kinds) {
        std::wstring buffer(MAX_PATH, L'\0');
        for (int attempt = 0; attempt < 2; ++attempt) {
            const DWORD length = GetFinalPathNameByHandleW(file, &buffer[0], static_cast<DWORD>(buffer.size()),
                                                           FILE_NAME_NORMALIZED | kind);
            if (length == 0)
                break;
            if (length < buffer.size()) {
                buffer.resize(length);
                return buffer;
            }
            if (length > kMaxIdentityPathUnits + 1)
                break;
            buffer.assign(length + 1, L'\0');
        }
    }
    return {};
}

// Whether the open object is one of chain. The identity is read only when the
// index alone matches a member: asking the volume for its serial is the slow
// part of reading an identity.
IdentityAnswer IsHandleOneOf(HANDLE file, const std::vector<FileIdentity>& chain) {
    // The index alone is the low half of the id only where ids have 64 bits.
    bool narrowIds = true;
    for (const FileIdentity& member : chain)
        narrowIds = narrowIds && member.idHigh == 0;
    uint64_t index = 0;
    if (narrowIds && ReadFileIndex(file, &index)) {
        bool candidate = false;
        for (const FileIdentity& member : chain)
            candidate = candidate || member.idLow == index;
        if (!candidate)
            return IdentityAnswer::No;
    }
    FileIdentity identity;
    if (!ReadHandleIdentity(file, &identity))
        return IdentityAnswer::CantTell;
    for (const FileIdentity& member : chain) {
        if (IsSameIdentity(identity, member))
            return IdentityAnswer::Yes;
    }
    return IdentityAnswer::No;
}

// Final paths compared as the file system compares names.
std::wstring UpperCase(const std::wstring& text) {
    std::wstring upper = text;
    if (!upper.empty())
        CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    return upper;
}

} // namespace

bool ReadFileIndex(void* handle, uint64_t* index) {
    static const QueryInformationFile query = FindQueryInformationFile();
    HANDLE file = static_cast<HANDLE>(handle);
    uint64_t value = 0;
    if (query) {
        IoStatusBlock status = {};
        LARGE_INTEGER internal = {};
        if (query(file, &status, &internal, sizeof internal, kFileInternalInformation) < 0)
            return false;
        value = static_cast<uint64_t>(internal.QuadPart);
    } else {
        BY_HANDLE_FILE_INFORMATION information;
        if (!GetFileInformationByHandle(file, &information))
            return false;
        value = (uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    }
    *index = value;
    return value != 0;
}

bool IsSameVolume(const FileIdentity& a, const FileIdentity& b) {
    if (a.fullId && b.fullId)
        return a.volumeSerial == b.volumeSerial;
    return (a.volumeSerial & 0xFFFFFFFFu) == (b.volumeSerial & 0xFFFFFFFFu);
}

bool IsSameIdentity(const FileIdentity& a, const FileIdentity& b) {
    if (a.fullId && b.fullId)
        return IsSameVolume(a, b) && a.idLow == b.idLow && a.idHigh == b.idHigh;
    return IsSameVolume(a, b) && a.idLow == b.idLow;
}

bool ReadHandleIdentity(void* handle, FileIdentity* identity) {
    HANDLE file = static_cast<HANDLE>(handle);
    if (fileIdInfoKnown) {
        FileIdRecord info = {};
        if (GetFileInformationByHandleEx(file, kFileIdInfo, &info, sizeof info)) {
            FileIdentity read;
            read.volumeSerial = info.volumeSerialNumber;
            memcpy(&read.idLow, info.identifier, 8);
            memcpy(&read.idHigh, info.identifier + 8, 8);
            read.fullId = true;
            if (read.idLow == 0 && read.idHigh == 0)
                return false;
            *identity = read;
            return true;
        }
        if (GetLastError() == ERROR_INVALID_PARAMETER)
            InterlockedExchange(&fileIdInfoKnown, 0);
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information))
        return false;
    if (information.nFileIndexHigh == 0 && information.nFileIndexLow == 0)
        return false; // the file system gives no index
    identity->volumeSerial = information.dwVolumeSerialNumber;
    identity->idLow = (uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    identity->idHigh = 0;
    identity->fullId = false;
    return true;
}

IdentityRead ReadIdentity(const std::wstring& path, FileIdentity* identity) {
    UniqueFile file = OpenObject(path);
    if (!file)
        return IsMissingError(GetLastError()) ? IdentityRead::Missing : IdentityRead::Unreadable;
    return ReadHandleIdentity(file.get(), identity) ? IdentityRead::Read : IdentityRead::Unreadable;
}

IdentityRead ReadIndex(const std::wstring& path, uint64_t* index) {
    UniqueFile file = OpenObject(path);
    if (!file)
        return IsMissingError(GetLastError()) ? IdentityRead::Missing : IdentityRead::Unreadable;
    return ReadFileIndex(file.get(), index) ? IdentityRead::Read : IdentityRead::Unreadable;
}

bool ReadAncestry(const std::wstring& path, std::vector<FileIdentity>* chain) {
    chain->clear();
    UniqueFile file = OpenObject(path);
    FileIdentity identity;
    if (!file || !ReadHandleIdentity(file.get(), &identity))
        return false;
    chain->push_back(identity);
    std::wstring folder = FinalPathOf(file.get());
    if (folder.empty() || FinalPathRootLength(folder) == 0)
        return false;
    file.reset();
    while (CutToParent(&folder)) {
        if (ReadIdentity(folder, &identity) != IdentityRead::Read)
            return false;
        chain->push_back(identity);
    }
    return true;
}

IdentityAnswer IsSameObject(const std::wstring& a, const std::wstring& b) {
    FileIdentity first, second;
    const IdentityRead readA = ReadIdentity(a, &first);
    if (readA == IdentityRead::Missing)
        return IdentityAnswer::No;
    const IdentityRead readB = ReadIdentity(b, &second);
    if (readB == IdentityRead::Missing)
        return IdentityAnswer::No;
    if (readA != IdentityRead::Read || readB != IdentityRead::Read)
        return IdentityAnswer::CantTell;
    return IsSameIdentity(first, second) ? IdentityAnswer::Yes : IdentityAnswer::No;
}

IdentityAnswer SameOrInsideQuestion::Ask(const std::wstring& path) {
    UniqueFile file = OpenObject(path);
    if (!file)
        return IsMissingError(GetLastError()) ? IdentityAnswer::No : IdentityAnswer::CantTell;
    const IdentityAnswer same = IsHandleOneOf(file.get(), folder_);
    if (same != IdentityAnswer::No)
        return same;
    std::wstring above = FinalPathOf(file.get());
    if (above.empty() || FinalPathRootLength(above) == 0)
        return IdentityAnswer::CantTell;
    file.reset();
    // Remembered only once the walk has ended in No: every folder above a
    // remembered one has been found not to be it too.
    std::vector<std::wstring> walked;
    while (CutToParent(&above)) {
        std::wstring key = UpperCase(above);
        if (apart_.count(key))
            break;
        const IdentityAnswer answer = IsOneOf(above, folder_);
        if (answer != IdentityAnswer::No)
            return answer;
        walked.push_back(std::move(key));
    }
    apart_.insert(walked.begin(), walked.end());
    return IdentityAnswer::No;
}

IdentityAnswer IsSameOrInside(const std::wstring& path, const FileIdentity& folder) {
    return SameOrInsideQuestion(folder).Ask(path);
}

IdentityAnswer IsSameOrInside(const std::wstring& path, const std::wstring& folder) {
    FileIdentity identity;
    switch (ReadIdentity(folder, &identity)) {
    case IdentityRead::Read:
        return IsSameOrInside(path, identity);
    case IdentityRead::Missing:
        return IdentityAnswer::No;
    default:
        return IdentityAnswer::CantTell;
    }
}

IdentityAnswer IsVolumeRootObject(const std::wstring& path) {
    UniqueFile file = OpenObject(path);
    if (!file)
        return IsMissingError(GetLastError()) ? IdentityAnswer::No : IdentityAnswer::CantTell;
    std::wstring finalPath = FinalPathOf(file.get());
    if (finalPath.empty() || FinalPathRootLength(finalPath) == 0)
        return IdentityAnswer::CantTell;
    return CutToParent(&finalPath) ? IdentityAnswer::No : IdentityAnswer::Yes;
}

IdentityAnswer IsOneOf(const std::wstring& path, const std::vector<FileIdentity>& chain) {
    if (chain.empty())
        return IdentityAnswer::No;
    UniqueFile file = OpenObject(path);
    if (!file)
        return IsMissingError(GetLastError()) ? IdentityAnswer::No : IdentityAnswer::CantTell;
    return IsHandleOneOf(file.get(), chain);
}

} // namespace Ostra
