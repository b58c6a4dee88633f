#include "TextFit.h"

#include <gtest/gtest.h>

using SkinKit::EllipsizeMiddle;

namespace {

// 10 units per character, 20 for a CJK one, 4 for the ellipsis; a
// surrogate pair (one emoji) counts 20 for its two units.
int Measure(const std::wstring& text) {
    int width = 0;
    for (wchar_t c : text) {
        if (c == L'\u2026')
            width += 4;
        else if (c >= 0xD800 && c <= 0xDFFF)
            width += 10;
        else
            width += c >= 0x4E00 ? 20 : 10;
    }
    return width;
}

} // namespace

TEST(EllipsizeMiddle, KeepsBothEndsOfWhatDoesNotFit) {
    const std::wstring path = L"C:\\Users\\u\\AppData\\Profiles\\abcd1234.default";
    const struct {
        std::wstring text;
        int width;
        std::wstring expected;
    } cases[] = {
        {path, 1000, path},                         // fits: unchanged
        {path, Measure(path), path},                // exactly fits
        {path, 104, L"C:\\Us\u2026fault"},          // 5 + 5 characters, 100 + 4 units
        {path, 113, L"C:\\Us\u2026fault"},          // one unit short of the next character
        {path, 114, L"C:\\Us\u2026efault"},         // the end gets the odd character
        {L"旧目录位置很长", 84, L"旧目\u2026很长"}, // CJK: 4 characters, 80 + 4
        {L"ab", 5, L"\u2026"},                      // nothing fits beside the ellipsis
        {L"ab", -1, L"\u2026"},                     // a field narrower than nothing
        {L"", -1, L""},                             // nothing to cut
        {L"a\U0001F600b", 24, L"a\u2026b"},         // the pair is dropped whole
        {L"ab\U0001F600cd", 44, L"ab\u2026cd"},     // never half a pair at either cut
    };
    for (const auto& c : cases) {
        const std::wstring shown = EllipsizeMiddle(c.text, c.width, Measure);
        EXPECT_EQ(shown, c.expected) << c.width;
        if (shown != c.text && shown != L"\u2026") {
            EXPECT_LE(Measure(shown), c.width);
        }
    }
}
