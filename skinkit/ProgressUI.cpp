#include "ProgressUI.h"

#include "LayoutMath.h"
#include "ValueSyntax.h"

#include <cwchar>

namespace SkinKit {

CProgressUI::CProgressUI() {
    m_uTextStyle = DT_SINGLELINE | DT_CENTER;
    m_cxyFixed.cy = 12;
}

const wchar_t* CProgressUI::GetClass() const {
    return L"ProgressUI";
}

void* CProgressUI::GetInterface(const wchar_t* name) {
    if (wcscmp(name, L"Progress") == 0)
        return this;
    return CLabelUI::GetInterface(name);
}

void CProgressUI::SetHorizontal(bool horizontal) {
    m_bHorizontal = horizontal;
    Invalidate();
}

void CProgressUI::SetMinValue(int value) {
    m_nMin = value;
    Invalidate();
}

void CProgressUI::SetMaxValue(int value) {
    m_nMax = value;
    Invalidate();
}

void CProgressUI::SetValue(int value) {
    m_nValue = value;
    Invalidate();
}

RECT CProgressUI::GetFillRect() const {
    UiRect r = ProgressFillRect(GetWidth(), GetHeight(), m_bHorizontal, ProgressRange{m_nMin, m_nMax, m_nValue});
    return RECT{r.left, r.top, r.right, r.bottom};
}

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    const std::wstring n = name;
    if (n == L"foreimage") {
        m_sForeImage = value;
        Invalidate();
    } else if (n == L"hor") {
        SetHorizontal(ParseBool(value));
    } else if (n == L"min") {
        SetMinValue(ParseInt(value));
    } else if (n == L"max") {
        SetMaxValue(ParseInt(value));
    } else if (n == L"value") {
        SetValue(ParseInt(value));
    } else if (n == L"isstretchfore") {
        m_bStretchForeImage = ParseBool(value);
        Invalidate();
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

void CProgressUI::PaintStatusImage(HDC hDC) {
    const ProgressRange range = NormaliseProgress(ProgressRange{m_nMin, m_nMax, m_nValue});
    m_nMax = range.maximum;
    m_nValue = range.value;
    if (m_sForeImage.empty())
        return;
    const RECT r = GetFillRect();
    wchar_t modify[128];
    if (m_bStretchForeImage)
        swprintf(modify, 128, L"dest='%d,%d,%d,%d'", static_cast<int>(r.left), static_cast<int>(r.top),
                 static_cast<int>(r.right), static_cast<int>(r.bottom));
    else
        swprintf(modify, 128, L"dest='%d,%d,%d,%d' source='%d,%d,%d,%d'", static_cast<int>(r.left),
                 static_cast<int>(r.top), static_cast<int>(r.right), static_cast<int>(r.bottom),
                 static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right),
                 static_cast<int>(r.bottom));
    DrawImage(hDC, m_sForeImage, modify);
}

} // namespace SkinKit
