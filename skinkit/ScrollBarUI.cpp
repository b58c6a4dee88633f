#include "ScrollBarUI.h"

#include "RenderEngine.h"
#include "ValueSyntax.h"

#include <cwchar>

namespace SkinKit {

namespace {

bool EndsWith(const std::wstring& text, const wchar_t* suffix) {
    const size_t n = wcslen(suffix);
    return text.size() > n && text.compare(text.size() - n, n, suffix) == 0;
}

} // namespace

CScrollBarUI::CScrollBarUI(bool horizontal) : m_bHorizontal(horizontal) {
    if (horizontal)
        m_cxyFixed.cy = 16;
    else
        m_cxyFixed.cx = 16;
}

const wchar_t* CScrollBarUI::GetClass() const {
    return L"ScrollBarUI";
}

void* CScrollBarUI::GetInterface(const wchar_t* name) {
    if (wcscmp(name, L"ScrollBar") == 0)
        return this;
    return CControlUI::GetInterface(name);
}

void CScrollBarUI::SetScrollRange(int range) {
    m_nRange = range < 0 ? 0 : range;
    if (m_nScrollPos > m_nRange)
        m_nScrollPos = m_nRange;
    Invalidate();
}

std::wstring CScrollBarUI::GetPartImage(const std::wstring& attribute) const {
    auto it = m_partImages.find(attribute);
    return it == m_partImages.end() ? std::wstring() : it->second;
}

void CScrollBarUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    const std::wstring n = name;
    if (EndsWith(n, L"image") && n != L"bkimage") {
        m_partImages[n] = value;
        Invalidate();
    } else if (n == L"range") {
        SetScrollRange(ParseInt(value));
    } else if (n == L"hor") {
        m_bHorizontal = ParseBool(value);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CScrollBarUI::PaintBkImage(HDC hDC) {
    CControlUI::PaintBkImage(hDC);
    auto it = m_partImages.find(L"bknormalimage");
    if (it != m_partImages.end() && !it->second.empty())
        DrawImage(hDC, it->second);
}

void CScrollBarUI::PaintStatusImage(HDC hDC) {
    auto it = m_partImages.find(IsEnabled() ? L"railnormalimage" : L"raildisabledimage");
    if (it != m_partImages.end() && !it->second.empty())
        DrawImage(hDC, it->second);
}

} // namespace SkinKit
