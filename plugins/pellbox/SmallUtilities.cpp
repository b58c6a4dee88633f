#include "SmallUtilities.h"

#include "PluginFrame.h"
#include "TimeText.h"
#include "UrlEncoding.h"

#include <windows.h>

std::string AnsiToUtf8(const std::string& narrow) {
    // Read as code page 936, the encoding the narrow text was made in, not
    // the system's ANSI code page, so the result is the same everywhere.
    const std::wstring wide = FromNarrowText(narrow);
    if (wide.empty())
        return {};
    const int length = static_cast<int>(wide.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &utf8[0], bytes, nullptr, nullptr);
    return std::string(utf8.c_str());
}

std::string UrlEncode(const std::wstring& text) {
    return PercentEncode(AnsiToUtf8(ToNarrowText(text)));
}

int64_t GetTimeSeconds() {
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    return SecondsSince1970(static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime);
}
