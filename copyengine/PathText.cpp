// The pure text helpers of PathHelpers.h: no Windows calls here.
#include "PathHelpers.h"

#include <cstring>
#include <cwchar>

bool JoinPath(wchar_t* out, size_t capacity, const wchar_t* dir, const wchar_t* name) {
    if (!out || capacity == 0)
        return false;
    out[0] = L'\0';
    if (!dir)
        dir = L"";
    if (!name)
        name = L"";
    size_t dirLength = wcslen(dir);
    size_t nameLength = wcslen(name);
    bool separator = dirLength > 0 && dir[dirLength - 1] != L'\\';
    size_t total = dirLength + (separator ? 1 : 0) + nameLength;
    if (total + 1 > capacity)
        return false;
    wmemcpy(out, dir, dirLength);
    size_t at = dirLength;
    if (separator)
        out[at++] = L'\\';
    wmemcpy(out + at, name, nameLength);
    out[total] = L'\0';
    return true;
}

uint32_t AddLongPathPrefix(wchar_t* path, size_t capacity) {
    if (!path)
        return 0;
    if (wcsncmp(path, L"\\\\?\\", 4) == 0 || wcsncmp(path, L"\\\\.\\", 4) == 0)
        return 0;
    size_t length = wcslen(path);
    if (path[0] == L'\\') {
        // \\server\share -> \\?\UNC\server\share: the first backslash becomes
        // seven characters, so the text moves six to the right.
        if (length + 6 + 1 > capacity)
            return 0;
        wmemmove(path + 6, path, length + 1);
        wmemcpy(path, L"\\\\?\\UNC", 7);
        return 7;
    }
    if (length + 4 + 1 > capacity)
        return 0;
    wmemmove(path + 4, path, length + 1);
    wmemcpy(path, L"\\\\?\\", 4);
    return 4;
}

int GetVolumeRoot(const wchar_t* path, wchar_t* root) {
    if (!path || !root)
        return 0;
    root[0] = L'\0';
    if (path[0] != L'\\') {
        size_t n = 0;
        while (n < 3 && path[n])
            ++n;
        wmemcpy(root, path, n);
        root[n] = L'\0';
        return 1;
    }
    size_t n = 0;
    int backslashes = 0;
    while (path[n]) {
        if (n + 1 >= kVolumeRootCapacity)
            return 0;
        root[n] = path[n];
        ++n;
        if (path[n - 1] == L'\\' && ++backslashes == 4)
            break;
    }
    if (backslashes < 4) {
        if (n + 2 > kVolumeRootCapacity)
            return 0;
        if (n == 0 || root[n - 1] != L'\\')
            root[n++] = L'\\';
    }
    root[n] = L'\0';
    return 1;
}

bool RemoveLongPathPrefix(const wchar_t* path, wchar_t* out, size_t capacity) {
    if (!path || !out || capacity == 0)
        return false;
    out[0] = L'\0';
    if (wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0)
        return JoinPath(out, capacity, L"\\\\", path + 8);
    if (wcsncmp(path, L"\\\\?\\", 4) == 0)
        path += 4;
    return JoinPath(out, capacity, L"", path);
}
