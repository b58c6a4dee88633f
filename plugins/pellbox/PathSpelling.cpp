#include "PathSpelling.h"

#include <vector>

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool IsDotName(const std::wstring& name) {
    return name == L"." || name == L"..";
}

// Names between separators from position on; runs of separators give no empty names.
std::vector<std::wstring> SplitNames(const std::wstring& path, size_t position) {
    std::vector<std::wstring> names;
    while (position < path.size()) {
        while (position < path.size() && IsSeparator(path[position]))
            ++position;
        size_t end = position;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        if (end > position)
            names.push_back(path.substr(position, end - position));
        position = end;
    }
    return names;
}

// Length of a device prefix at the start of path, 0 when there is none.
size_t DevicePrefixLength(const std::wstring& path, bool& literal) {
    if (path.size() < 4 || !IsSeparator(path[0]) || !IsSeparator(path[3]))
        return 0;
    const bool doubled = IsSeparator(path[1]);
    if (doubled && (path[2] == L'?' || path[2] == L'.')) {
        literal = path[2] == L'?' && path.compare(0, 4, L"\\\\?\\") == 0;
        return 4;
    }
    if (path[1] == L'?' && path[2] == L'?') {
        literal = path.compare(0, 4, L"\\??\\") == 0;
        return 4;
    }
    return 0;
}

bool StartsWithUncName(const std::wstring& path) {
    return path.size() >= 4 && (path[0] == L'U' || path[0] == L'u') && (path[1] == L'N' || path[1] == L'n') &&
           (path[2] == L'C' || path[2] == L'c') && IsSeparator(path[3]);
}

} // namespace

std::wstring StripDevicePrefix(const std::wstring& path, bool* literal) {
    std::wstring rest = path;
    bool anyLiteral = false;
    for (;;) {
        bool isLiteral = false;
        const size_t length = DevicePrefixLength(rest, isLiteral);
        if (length == 0)
            break;
        anyLiteral = anyLiteral || isLiteral;
        rest.erase(0, length);
        if (StartsWithUncName(rest))
            rest.replace(0, 4, L"\\\\");
    }
    if (literal)
        *literal = anyLiteral;
    return rest;
}

size_t AbsoluteRootLength(const std::wstring& path) {
    if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]))
        return 3;
    if (path.size() < 3 || !IsSeparator(path[0]) || !IsSeparator(path[1]) || IsSeparator(path[2]))
        return 0;
    // \\server\share: exactly two leading separators, then two names.
    size_t serverEnd = 2;
    while (serverEnd < path.size() && !IsSeparator(path[serverEnd]))
        ++serverEnd;
    if (serverEnd == path.size() || IsDotName(path.substr(2, serverEnd - 2)))
        return 0;
    const size_t shareStart = serverEnd + 1;
    size_t shareEnd = shareStart;
    while (shareEnd < path.size() && !IsSeparator(path[shareEnd]))
        ++shareEnd;
    if (shareEnd == shareStart || IsDotName(path.substr(shareStart, shareEnd - shareStart)))
        return 0;
    return shareEnd < path.size() ? shareEnd + 1 : shareEnd;
}

std::wstring NormaliseAbsolutePath(const std::wstring& path, bool trimNameEnd) {
    const size_t rootLength = AbsoluteRootLength(path);
    if (rootLength == 0)
        return {};
    std::wstring root;
    std::vector<std::wstring> names;
    if (rootLength == 3 && path[1] == L':') {
        root = path.substr(0, 2) + L"\\";
        names = SplitNames(path, 3);
    } else {
        const std::vector<std::wstring> shareNames = SplitNames(path.substr(0, rootLength), 2);
        root = L"\\\\" + shareNames[0] + L"\\" + shareNames[1] + L"\\";
        names = SplitNames(path, rootLength);
    }

    std::vector<std::wstring> kept;
    for (const std::wstring& name : names) {
        if (name == L".")
            continue;
        if (name == L"..") {
            if (!kept.empty())
                kept.pop_back();
            continue;
        }
        kept.push_back(name);
    }
    if (trimNameEnd && !kept.empty()) {
        std::wstring& last = kept.back();
        while (!last.empty() && (last.back() == L'.' || last.back() == L' '))
            last.pop_back();
        if (last.empty())
            kept.pop_back();
    }

    std::wstring normalised = root;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i > 0)
            normalised += L'\\';
        normalised += kept[i];
    }
    return normalised;
}

bool IsVolumeRoot(const std::wstring& normalised) {
    return !normalised.empty() && normalised.back() == L'\\';
}

bool IsSameOrHoldingFolder(const std::wstring& folder, const std::wstring& other) {
    if (folder.empty() || other.compare(0, folder.size(), folder) != 0)
        return false;
    return other.size() == folder.size() || folder.back() == L'\\' || other[folder.size()] == L'\\';
}

std::wstring LiteralPath(const std::wstring& normalised) {
    if (normalised.size() >= 2 && normalised[0] == L'\\' && normalised[1] == L'\\')
        return L"\\\\?\\UNC\\" + normalised.substr(2);
    return L"\\\\?\\" + normalised;
}
