#include "CodePageText.h"

#include <windows.h>

std::string WideToCodePage(unsigned codePage, const std::wstring& text) {
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string converted(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, &converted[0], bytes, nullptr, nullptr);
    return converted;
}

std::wstring CodePageToWide(unsigned codePage, const std::string& text) {
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (units <= 0)
        return {};
    std::wstring converted(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, &converted[0], units);
    return converted;
}
