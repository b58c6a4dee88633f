#include "ValueSyntax.h"

#include <climits>

namespace SkinKit {

namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Like ParseInt, but also tells whether any digit was read.
int ReadInt(const wchar_t* text, const wchar_t** end, bool* gotDigits) {
    const wchar_t* p = text;
    *gotDigits = false;
    if (!p) {
        if (end)
            *end = text;
        return 0;
    }
    while (*p != 0 && *p <= 32)
        ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = *p == L'-';
        ++p;
    }
    long long value = 0;
    while (IsDigit(*p)) {
        *gotDigits = true;
        if (value <= static_cast<long long>(INT_MAX) + 1)
            value = value * 10 + (*p - L'0');
        ++p;
    }
    if (!*gotDigits) {
        if (end)
            *end = text;
        return 0;
    }
    if (end)
        *end = p;
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

int ParseInt(const wchar_t* text, const wchar_t** end) {
    bool gotDigits;
    return ReadInt(text, end, &gotDigits);
}

int ParseIntList(const wchar_t* text, int* values, int count) {
    int read = 0;
    const wchar_t* p = text ? text : L"";
    for (int i = 0; i < count; ++i) {
        bool gotDigits;
        const wchar_t* end;
        values[i] = ReadInt(p, &end, &gotDigits);
        if (gotDigits)
            ++read;
        p = end;
        if (*p != 0)
            ++p; // the one separator character, whatever it is
    }
    return read;
}

SkinRect ParseRect(const wchar_t* text) {
    int v[4];
    ParseIntList(text, v, 4);
    SkinRect r;
    r.left = v[0];
    r.top = v[1];
    r.right = v[2];
    r.bottom = v[3];
    return r;
}

SkinSize ParseSize(const wchar_t* text) {
    int v[2];
    ParseIntList(text, v, 2);
    SkinSize s;
    s.cx = v[0];
    s.cy = v[1];
    return s;
}

uint32_t ParseColor(const wchar_t* text) {
    if (!text)
        return 0;
    const wchar_t* p = text;
    while (*p != 0 && *p <= 32)
        ++p;
    if (*p == L'#')
        ++p;
    if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X') && HexValue(p[2]) >= 0)
        p += 2;
    uint64_t value = 0;
    for (int digit; (digit = HexValue(*p)) >= 0; ++p) {
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFull)
            value = 0x100000000ull; // saturate without overflowing on long inputs
    }
    return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}

bool ParseBool(const wchar_t* text) {
    if (!text)
        return false;
    return std::wstring(text) == L"true";
}

AttributeList ParseAttributeList(const wchar_t* text) {
    AttributeList list;
    if (!text)
        return list;
    const wchar_t* p = text;
    while (*p != 0) {
        const wchar_t* nameStart = p;
        while (*p != 0 && *p != L'=')
            ++p;
        if (*p != L'=')
            break;
        std::wstring name(nameStart, p);
        ++p;
        if (*p != L'"')
            break;
        ++p;
        const wchar_t* valueStart = p;
        while (*p != 0 && *p != L'"')
            ++p;
        if (*p != L'"')
            break;
        list.emplace_back(std::move(name), std::wstring(valueStart, p));
        ++p;
        if (*p != L' ')
            break;
        ++p;
    }
    return list;
}

} // namespace SkinKit
