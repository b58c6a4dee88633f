// The volume, privilege and counting helpers: thin layers over Windows calls.
#include "PathHelpers.h"

#include <algorithm>

#include <windows.h>

#include <cwchar>
#include <memory>
#include <new>

#include "UniqueHandle.h"

int IsSameVolume(const wchar_t* root1, const wchar_t* root2) {
    if (!root1 || !root2 || !root1[0] || !root2[0])
        return 0;
    // A drive root has ':' second, a UNC root '\': they never match.
    if (root1[1] != root2[1])
        return 0;
    return GetDriveTypeW(root1) == GetDriveTypeW(root2) && lstrcmpiW(root1, root2) == 0 ? 1 : 0;
}

uint32_t GetSectorSize(const wchar_t* root) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!root || !GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) ||
        bytesPerSector == 0)
        return 2048;
    return bytesPerSector;
}

uint32_t GetFileSystemKind(const wchar_t* root) {
    if (!root || GetDriveTypeW(root) == DRIVE_REMOTE)
        return 3;
    wchar_t volumeName[MAX_PATH] = {};
    wchar_t fileSystem[MAX_PATH] = {};
    DWORD serial = 0, maxComponent = 0, flags = 0;
    if (!GetVolumeInformationW(root, volumeName, MAX_PATH, &serial, &maxComponent, &flags, fileSystem, MAX_PATH))
        return 2;
    return lstrcmpiW(fileSystem, L"NTFS") == 0 ? 1 : 2;
}

int EnablePrivilege(const wchar_t* name) {
    if (!name)
        return 0;
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken))
        return 0;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
        CloseHandle(rawToken);
        return 0;
    }
    BOOL adjusted = AdjustTokenPrivileges(rawToken, FALSE, &privileges, 0, nullptr, nullptr);
    BOOL closed = CloseHandle(rawToken);
    return adjusted && closed ? 1 : 0;
}

int GetFileSize64(const wchar_t* path, uint64_t* size) {
    if (!path || !size)
        return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return 0;
    *size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return 1;
}

bool IsSameOrInsidePath(const wchar_t* path, const wchar_t* dir) {
    if (!path || !dir)
        return false;
    size_t dirLength = wcslen(dir);
    while (dirLength > 0 && dir[dirLength - 1] == L'\\')
        --dirLength;
    size_t pathLength = wcslen(path);
    if (dirLength == 0 || pathLength < dirLength)
        return false;
    if (CompareStringOrdinal(path, int(dirLength), dir, int(dirLength), TRUE) != CSTR_EQUAL)
        return false;
    return path[dirLength] == L'\0' || path[dirLength] == L'\\';
}

// The length of directory\name less rootPrefix units.
static size_t RelativeLength(const wchar_t* directory, const wchar_t* name, size_t rootPrefix) {
    const size_t length = wcslen(directory);
    const size_t full = length + (length > 0 && directory[length - 1] == L'\\' ? 0 : 1) + wcslen(name);
    return full > rootPrefix ? full - rootPrefix : 0;
}

static int CountTreeAt(const wchar_t* directory, uint64_t* bytes, uint32_t* files, const std::atomic<uint32_t>* cancel,
                       const std::vector<Ostra::FileIdentity>* excluded, int depth, size_t rootPrefix,
                       size_t* longest) {
    if (depth > kMaxTreeDepth)
        return 0;
    std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[kCopyPathCapacity]);
    if (!path || !JoinPath(path.get(), kCopyPathCapacity, directory, L"*.*"))
        return 0;
    WIN32_FIND_DATAW data;
    Ostra::UniqueFind find(FindFirstFileW(path.get(), &data));
    if (!find)
        return 0;
    int result = 1;
    do {
        const wchar_t* name = data.cFileName;
        if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0)
            continue;
        if (longest)
            *longest = std::max(*longest, RelativeLength(directory, name, rootPrefix));
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!JoinPath(path.get(), kCopyPathCapacity, directory, name)) {
                result = 0;
                break;
            }
            if (excluded) {
                const Ostra::IdentityAnswer onTheWay = Ostra::IsOneOf(path.get(), *excluded);
                if (onTheWay == Ostra::IdentityAnswer::Yes)
                    continue;
                if (onTheWay == Ostra::IdentityAnswer::CantTell) {
                    result = 0;
                    break;
                }
            }
            result = CountTreeAt(path.get(), bytes, files, cancel, excluded, depth + 1, rootPrefix, longest);
            if (!result)
                break;
        } else {
            *bytes += (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            *files += 1;
        }
    } while ((!cancel || cancel->load() == 0) && FindNextFileW(find.get(), &data));
    return result;
}

int CountTree(const wchar_t* directory, uint64_t* bytes, uint32_t* files, const std::atomic<uint32_t>* cancel,
              const std::vector<Ostra::FileIdentity>* excluded, size_t* longest) {
    if (!directory || !bytes || !files)
        return 0;
    const size_t length = wcslen(directory);
    const size_t rootPrefix = length + (length > 0 && directory[length - 1] == L'\\' ? 0 : 1);
    return CountTreeAt(directory, bytes, files, cancel, excluded, 0, rootPrefix, longest);
}
