#include "PathRules.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

wchar_t FoldAsciiCase(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i]))
            return false;
    }
    return true;
}

// Lower-cased, "/" as "\", separator runs collapsed, no trailing separator.
std::wstring ComparableDirectory(const std::wstring& path) {
    std::wstring out;
    out.reserve(path.size());
    for (wchar_t c : path) {
        wchar_t folded = IsSeparator(c) ? L'\\' : FoldAsciiCase(c);
        if (folded == L'\\' && !out.empty() && out.back() == L'\\')
            continue;
        out.push_back(folded);
    }
    while (!out.empty() && out.back() == L'\\')
        out.pop_back();
    return out;
}

} // namespace

std::wstring CollapseSeparatorRuns(const std::wstring& path) {
    std::wstring out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsSeparator(path[i]) && i > 0 && IsSeparator(path[i - 1]))
            continue;
        out.push_back(path[i]);
    }
    return out;
}

bool SamePath(const wchar_t* a, const wchar_t* b) {
    if (a == nullptr || b == nullptr)
        return false;
    return EqualIgnoringAsciiCase(CollapseSeparatorRuns(a), CollapseSeparatorRuns(b));
}

std::wstring StripOneTrailingSeparator(const std::wstring& path) {
    if (!path.empty() && path.back() == L'\\')
        return path.substr(0, path.size() - 1);
    return path;
}

std::wstring DestinationForFolder(const std::wstring& folder) {
    return folder + L"\\Profiles";
}

std::wstring DirectorySearchPattern(const std::wstring& path) {
    std::wstring pattern = path;
    if (pattern.empty() || !IsSeparator(pattern.back()))
        pattern += L'\\';
    pattern += L"*.*";
    if (pattern.size() + 1 > kPathBufferChars)
        return std::wstring();
    return pattern;
}

bool FitsPathBuffers(const std::wstring& destination) {
    return !destination.empty() && !DirectorySearchPattern(destination).empty();
}

std::vector<std::wstring> DirectoryPrefixes(const std::wstring& path) {
    std::vector<std::wstring> prefixes;
    std::wstring accumulated;
    std::size_t start = 0;

    // \\server\share\ is one unit: the share must already exist.
    if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        std::size_t server = path.find_first_of(L"\\/", 2);
        std::size_t share = server == std::wstring::npos ? server : path.find_first_of(L"\\/", server + 1);
        if (share == std::wstring::npos)
            return prefixes;
        accumulated = path.substr(0, share + 1);
        start = share + 1;
    }

    std::size_t pieceStart = start;
    for (std::size_t i = start; i < path.size(); ++i) {
        if (!IsSeparator(path[i]))
            continue;
        std::size_t pieceLength = i - pieceStart + 1;
        if (pieceLength > 1) {
            accumulated.append(path, pieceStart, pieceLength);
            prefixes.push_back(accumulated);
        }
        pieceStart = i + 1;
    }
    return prefixes;
}

bool IsSameOrInside(const std::wstring& candidate, const std::wstring& directory) {
    std::wstring inner = ComparableDirectory(candidate);
    std::wstring outer = ComparableDirectory(directory);
    if (outer.empty() || inner.size() < outer.size())
        return false;
    if (inner.compare(0, outer.size(), outer) != 0)
        return false;
    return inner.size() == outer.size() || inner[outer.size()] == L'\\';
}

bool IsSameDirectory(const std::wstring& a, const std::wstring& b) {
    return IsSameOrInside(a, b) && IsSameOrInside(b, a);
}
