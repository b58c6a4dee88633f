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
