// Real files for the copy engine's tests: a temporary folder that removes
// itself, and small helpers to build and compare trees in it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // Full path (without the long-path prefix) of a name below the folder.
    std::wstring Path(const std::wstring& relative = L"") const;

private:
    std::wstring root_;
};

// Long-path form of a full path, so that deep trees can be made and read.
std::wstring Long(const std::wstring& path);

void MakeDirs(const std::wstring& path);
// Writes `size` bytes of a pattern that depends on `seed`, then the given
// write time (a FILETIME value) and attributes.
void WritePatternFile(const std::wstring& path, uint64_t size, uint32_t seed, uint64_t writeTime = 0,
                      DWORD attributes = 0);
std::vector<unsigned char> ReadAll(const std::wstring& path);
void RemoveTree(const std::wstring& path);

struct FileFacts {
    bool found = false;
    uint64_t size = 0;
    uint64_t writeTime = 0;
    uint64_t accessTime = 0;
    DWORD attributes = 0;
};
FileFacts Facts(const std::wstring& path);

// Relative paths of every file and directory below root, directories with a
// trailing backslash, sorted.
std::vector<std::wstring> ListTree(const std::wstring& root);
