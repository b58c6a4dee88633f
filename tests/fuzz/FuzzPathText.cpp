// The copy engine's path texts from arbitrary UTF-16: joins, long-path
// prefixes and volume roots never write past their buffers, and a prefix added
// comes off again.
#include "PathHelpers.h"

#include "FuzzText.h"

#include <algorithm>
#include <cwchar>
#include <vector>

using FuzzText::Check;

namespace {

// A buffer of exactly `capacity` units holding `text` (cut to fit).
std::vector<wchar_t> Buffer(const std::wstring& text, size_t capacity) {
    std::vector<wchar_t> buffer(capacity, L'\0');
    if (capacity)
        std::wmemcpy(buffer.data(), text.c_str(), std::min(text.size(), capacity - 1));
    return buffer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const size_t slack = data[0] % 16;
    const std::vector<std::string> fields = FuzzText::Fields(data + 1, size - 1, '\n', 2);
    // Texts end at their first zero, as the C strings the helpers take.
    const std::wstring dir = FuzzText::Utf16Units(fields[0]).c_str();
    const std::wstring name = FuzzText::Utf16Units(fields[1]).c_str();

    const size_t joined = dir.size() + name.size() + 1;
    for (size_t capacity : {size_t(0), size_t(1), joined, joined + 1, joined + slack}) {
        std::vector<wchar_t> out(capacity ? capacity : 1, L'\x5A5A');
        const bool fits = JoinPath(capacity ? out.data() : nullptr, capacity, dir.c_str(), name.c_str());
        if (fits) {
            const size_t length = std::wcslen(out.data());
            Check(length < capacity, "joined path fills its buffer");
            Check(length >= dir.size() + name.size(), "joined path lost text");
        }
    }

    std::vector<wchar_t> path = Buffer(dir, dir.size() + 1 + slack);
    const uint32_t added = AddLongPathPrefix(path.data(), path.size());
    Check(added == 0 || added == 4 || added == 7, "prefix length");
    Check(std::wcslen(path.data()) < path.size(), "prefixed path fills its buffer");
    // The engine prefixes full paths only: drive paths and UNC names come back
    // unchanged. (A single leading backslash is taken as the start of a UNC
    // name, and a relative "UNC\x" reads back as a UNC name.)
    const bool unc = dir.size() > 1 && dir[0] == L'\\' && dir[1] == L'\\';
    const bool drive =
        dir.size() > 2 && ((dir[0] | 0x20) >= L'a' && (dir[0] | 0x20) <= L'z') && dir[1] == L':' && dir[2] == L'\\';
    if (added && (unc || drive)) {
        std::vector<wchar_t> plain(dir.size() + 1);
        Check(RemoveLongPathPrefix(path.data(), plain.data(), plain.size()), "prefix does not come off");
        Check(dir == plain.data(), "prefix round trip changed the path");
    }

    wchar_t root[kVolumeRootCapacity];
    if (GetVolumeRoot(dir.c_str(), root))
        Check(std::wcslen(root) < kVolumeRootCapacity, "volume root fills its buffer");
    return 0;
}
