#include "TextFit.h"

namespace SkinKit {

namespace {

bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// text with `kept` of its units kept around the ellipsis.
std::wstring Shortened(const std::wstring& text, size_t kept) {
    size_t head = kept / 2;
    size_t tailStart = text.size() - (kept - head);
    // Move both cuts off the middle of a surrogate pair (dropping the pair).
    if (head > 0 && head < text.size() && IsLowSurrogate(text[head]))
        --head;
    if (tailStart < text.size() && IsLowSurrogate(text[tailStart]))
        ++tailStart;
    return text.substr(0, head) + L"\u2026" + text.substr(tailStart);
}

} // namespace

std::wstring EllipsizeMiddle(const std::wstring& text, int maxWidth, const MeasureTextFn& measure) {
    if (text.empty() || measure(text) <= maxWidth)
        return text;
    // Widths grow with the characters kept: the largest count that fits.
    size_t low = 0, high = text.size() - 1;
    while (low < high) {
        const size_t mid = low + (high - low + 1) / 2;
        if (measure(Shortened(text, mid)) <= maxWidth)
            low = mid;
        else
            high = mid - 1;
    }
    return Shortened(text, low);
}

} // namespace SkinKit
