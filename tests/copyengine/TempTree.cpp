#include "TempTree.h"

#include <algorithm>

#include "UniqueHandle.h"

TempTree::TempTree() {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    static unsigned counter = 0;
    root_ = std::wstring(base) + L"copyengine-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    RemoveTree(root_);
    CreateDirectoryW(Long(root_).c_str(), nullptr);
}

TempTree::~TempTree() {
    RemoveTree(root_);
}

std::wstring TempTree::Path(const std::wstring& relative) const {
    return relative.empty() ? root_ : root_ + L"\\" + relative;
}

std::wstring Long(const std::wstring& path) {
    return path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path;
}

void MakeDirs(const std::wstring& path) {
    size_t at = path.find(L'\\', 3);
    while (at != std::wstring::npos) {
        CreateDirectoryW(Long(path.substr(0, at)).c_str(), nullptr);
        at = path.find(L'\\', at + 1);
    }
    CreateDirectoryW(Long(path).c_str(), nullptr);
}

void WritePatternFile(const std::wstring& path, uint64_t size, uint32_t seed, uint64_t writeTime, DWORD attributes) {
    Ostra::UniqueFile file(
        CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<unsigned char> block(1 << 20);
    uint32_t state = seed * 2654435761u + 1;
    for (uint64_t done = 0; done < size;) {
        for (auto& byte : block) {
            state = state * 1103515245u + 12345u;
            byte = static_cast<unsigned char>(state >> 16);
        }
        DWORD piece = static_cast<DWORD>(std::min<uint64_t>(block.size(), size - done));
        DWORD written = 0;
        WriteFile(file.get(), block.data(), piece, &written, nullptr);
        done += piece;
    }
    if (writeTime) {
        FILETIME time = {static_cast<DWORD>(writeTime), static_cast<DWORD>(writeTime >> 32)};
        SetFileTime(file.get(), &time, &time, &time);
    }
    file.reset();
    if (attributes)
        SetFileAttributesW(Long(path).c_str(), attributes);
}

std::vector<unsigned char> ReadAll(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    Ostra::UniqueFile file(
        CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return bytes;
    unsigned char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    return bytes;
}

void RemoveTree(const std::wstring& path) {
    std::wstring lp = Long(path);
    WIN32_FIND_DATAW data;
    Ostra::UniqueFind find(FindFirstFileW((lp + L"\\*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(Long(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(Long(child).c_str());
            }
        } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    RemoveDirectoryW(lp.c_str());
}

FileFacts Facts(const std::wstring& path) {
    FileFacts facts;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Long(path).c_str(), GetFileExInfoStandard, &data))
        return facts;
    facts.found = true;
    facts.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    facts.writeTime = (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    facts.accessTime = (uint64_t(data.ftLastAccessTime.dwHighDateTime) << 32) | data.ftLastAccessTime.dwLowDateTime;
    facts.attributes = data.dwFileAttributes;
    return facts;
}

static void ListInto(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW data;
    std::wstring dir = relative.empty() ? root : root + L"\\" + relative;
    Ostra::UniqueFind find(FindFirstFileW((Long(dir) + L"\\*").c_str(), &data));
    if (!find)
        return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring child = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(child + L"\\");
            ListInto(root, child, out);
        } else {
            out.push_back(child);
        }
    } while (FindNextFileW(find.get(), &data));
}

std::vector<std::wstring> ListTree(const std::wstring& root) {
    std::vector<std::wstring> out;
    ListInto(root, L"", out);
    std::sort(out.begin(), out.end());
    return out;
}
