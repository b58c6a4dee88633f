#include "FinalPathText.h"

namespace Ostra {

namespace {

bool StartsWith(const std::wstring& text, size_t at, const wchar_t* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
        if (at + i >= text.size())
            return false;
        wchar_t c = text[at + i];
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// Position just past the next backslash at or after from; npos when none.
size_t PastNextSeparator(const std::wstring& path, size_t from) {
    const size_t slash = path.find(L'\\', from);
    return slash == std::wstring::npos ? std::wstring::npos : slash + 1;
}

} // namespace

size_t FinalPathRootLength(const std::wstring& path) {
    size_t start = 0;
    if (StartsWith(path, 0, L"\\\\?\\") || StartsWith(path, 0, L"\\\\.\\"))
        start = 4;
    else if (StartsWith(path, 0, L"\\\\")) {
        // \\server\share\ without the prefix.
        const size_t share = PastNextSeparator(path, 2);
        if (share == std::wstring::npos || share == 3)
            return 0;
        const size_t end = PastNextSeparator(path, share);
        return end == std::wstring::npos || end == share + 1 ? 0 : end;
    }
    if (path.size() >= start + 3 && path[start + 1] == L':' && path[start + 2] == L'\\')
        return start + 3;
    if (start == 0)
        return 0;
    if (StartsWith(path, start, L"UNC\\")) {
        const size_t share = PastNextSeparator(path, start + 4);
        if (share == std::wstring::npos || share == start + 5)
            return 0;
        const size_t end = PastNextSeparator(path, share);
        return end == std::wstring::npos || end == share + 1 ? 0 : end;
    }
    // Any other name space ("Volume{guid}" and the like): its first name is the root.
    const size_t end = PastNextSeparator(path, start);
    return end == std::wstring::npos || end == start + 1 ? 0 : end;
}

bool CutToParent(std::wstring* path) {
    const size_t root = FinalPathRootLength(*path);
    if (root == 0)
        return false;
    size_t end = path->size();
    while (end > root && (*path)[end - 1] == L'\\')
        --end;
    if (end <= root)
        return false;
    const size_t slash = path->rfind(L'\\', end - 1);
    if (slash == std::wstring::npos || slash < root - 1)
        return false;
    size_t cut = slash;
    while (cut > root && (*path)[cut - 1] == L'\\')
        --cut;
    path->resize(cut < root ? root : cut);
    return true;
}

} // namespace Ostra
