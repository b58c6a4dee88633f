#include "SmallUtilities.h"

#include "CodePageText.h"
#include "PluginFrame.h"
#include "TimeText.h"
#include "UrlEncoding.h"

#include <windows.h>

std::string AnsiToUtf8(const std::string& narrow) {
    // Read as code page 936, the encoding the narrow text was made in, not
    // the system's ANSI code page, so the result is the same everywhere.
    return WideToCodePage(CP_UTF8, FromNarrowText(narrow));
}

std::string UrlEncode(const std::wstring& text, size_t limit) {
    return PercentEncode(AnsiToUtf8(ToNarrowText(text)), limit);
}

int64_t GetTimeSeconds() {
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    return SecondsSince1970(static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime);
}
