#include "NumberText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwchar>

namespace Tallywick {

namespace {

int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return 99;
}

uint32_t AccumulateDigits(const wchar_t* p, int base) {
    uint32_t value = 0;
    for (; *p && DigitValue(*p) < base; ++p)
        value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(DigitValue(*p));
    return value;
}

// long is wider than int on some platforms.
int ClampToInt(long value) {
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

int32_t LowBits(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value & 0xFFFFFFFF));
}

} // namespace

int32_t ParseStackInteger(const std::wstring& text) {
    const wchar_t* p = text.c_str();
    if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X'))
        return static_cast<int32_t>(AccumulateDigits(p + 2, 16));
    if (p[0] == L'0' && p[1] >= L'0' && p[1] <= L'7')
        return static_cast<int32_t>(AccumulateDigits(p + 1, 8));
    bool negative = *p == L'-';
    if (negative)
        ++p;
    uint32_t magnitude = AccumulateDigits(p, 10);
    return static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
}

int ParseLeadingInt(const std::string& text) {
    return ClampToInt(std::strtol(text.c_str(), nullptr, 10));
}

int ParseLeadingInt(const std::wstring& text) {
    return ClampToInt(std::wcstol(text.c_str(), nullptr, 10));
}

int64_t ParseLeadingInt64(const std::wstring& text) {
    return static_cast<int64_t>(std::wcstoll(text.c_str(), nullptr, 10));
}

int32_t MebibytesFromText(const std::wstring& bytes) {
    return LowBits(ParseLeadingInt64(bytes) >> 20);
}

int32_t GibibytesFromText(const std::wstring& bytes) {
    return LowBits(ParseLeadingInt64(bytes) >> 30);
}

} // namespace Tallywick
