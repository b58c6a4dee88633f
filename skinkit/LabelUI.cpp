#include "LabelUI.h"

#include "LayoutMath.h"
#include "PaintManagerUI.h"
#include "RenderEngine.h"
#include "ValueSyntax.h"

#include <cwchar>

namespace SkinKit {

UINT ApplyAlignWords(UINT style, const wchar_t* value) {
    if (wcsstr(value, L"left"))
        style &= ~(DT_CENTER | DT_RIGHT | DT_SINGLELINE);
    if (wcsstr(value, L"center")) {
        style &= ~DT_RIGHT;
        style |= DT_CENTER;
    }
    if (wcsstr(value, L"right")) {
        style &= ~(DT_CENTER | DT_SINGLELINE);
        style |= DT_RIGHT;
    }
    return style;
}

UINT ApplyVAlignWords(UINT style, const wchar_t* value) {
    if (wcsstr(value, L"top")) {
        style &= ~(DT_BOTTOM | DT_VCENTER);
        style |= DT_TOP | DT_SINGLELINE;
    }
    if (wcsstr(value, L"vcenter")) {
        style &= ~(DT_TOP | DT_BOTTOM);
        style |= DT_VCENTER | DT_SINGLELINE;
    }
    if (wcsstr(value, L"bottom")) {
        style &= ~(DT_TOP | DT_VCENTER);
        style |= DT_BOTTOM | DT_SINGLELINE;
    }
    return style;
}

CLabelUI::CLabelUI() : m_uTextStyle(DT_VCENTER) {}

const wchar_t* CLabelUI::GetClass() const {
    return L"LabelUI";
}

void* CLabelUI::GetInterface(const wchar_t* name) {
    if (wcscmp(name, L"Label") == 0)
        return this;
    return CControlUI::GetInterface(name);
}

void CLabelUI::SetTextStyle(UINT style) {
    m_uTextStyle = style;
    Invalidate();
}

void CLabelUI::SetTextColor(DWORD color) {
    m_dwTextColor = color;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD color) {
    m_dwDisabledTextColor = color;
    Invalidate();
}

void CLabelUI::SetFont(int index) {
    m_iFont = index;
    Invalidate();
}

void CLabelUI::SetTextPadding(RECT rc) {
    m_rcTextPadding = rc;
    Invalidate();
}

void CLabelUI::SetText(const std::wstring& text) {
    CControlUI::SetText(text);
    if (m_bAutoCalcWidth)
        NeedParentUpdate(); // the width follows the text
}

SIZE CLabelUI::EstimateSize(SIZE) {
    int textHeight = 0, textWidth = 0;
    if (m_pManager) {
        const TFontInfo& font = m_pManager->GetFontInfo(m_iFont);
        textHeight = font.tm.tmAscent + font.tm.tmDescent;
        if (m_bAutoCalcWidth && m_pManager->GetPaintDC()) {
            HDC dc = m_pManager->GetPaintDC();
            HGDIOBJ old = ::SelectObject(dc, font.hFont);
            SIZE extent{0, 0};
            ::GetTextExtentPoint32W(dc, m_sText.c_str(), static_cast<int>(m_sText.size()), &extent);
            ::SelectObject(dc, old);
            textWidth = extent.cx;
        }
    }
    const RECT padding = Scaled(m_rcTextPadding);
    const UiSize size = LabelDesiredSize(GetFixedWidth(), GetFixedHeight(), textHeight, m_bAutoCalcWidth, textWidth,
                                         UiRect{padding.left, padding.top, padding.right, padding.bottom});
    if (m_bAutoCalcWidth) {
        const int dpi = m_pManager ? m_pManager->GetDpi() : kBaseDpi;
        m_cxyFixed.cx = UnscaleLength(size.cx, dpi);
    }
    return SIZE{size.cx, size.cy};
}

void CLabelUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    const std::wstring n = name;
    if (n == L"align") {
        SetTextStyle(ApplyAlignWords(m_uTextStyle, value));
    } else if (n == L"valign") {
        SetTextStyle(ApplyVAlignWords(m_uTextStyle, value));
    } else if (n == L"endellipsis") {
        SetTextStyle(ParseBool(value) ? (m_uTextStyle | DT_END_ELLIPSIS) : (m_uTextStyle & ~DT_END_ELLIPSIS));
    } else if (n == L"font") {
        SetFont(ParseInt(value));
    } else if (n == L"textcolor") {
        SetTextColor(ParseColor(value));
    } else if (n == L"disabledtextcolor") {
        SetDisabledTextColor(ParseColor(value));
    } else if (n == L"textpadding") {
        SkinRect r = ParseRect(value);
        SetTextPadding(RECT{r.left, r.top, r.right, r.bottom});
    } else if (n == L"showhtml") {
        m_bShowHtml = ParseBool(value);
    } else if (n == L"autocalcwidth") {
        m_bAutoCalcWidth = ParseBool(value);
        NeedParentUpdate();
    } else {
        // Shadows, strokes, gradients and other text effects are accepted and ignored.
        CControlUI::SetAttribute(name, value);
    }
}

DWORD CLabelUI::EffectiveTextColor() const {
    if (m_dwTextColor == 0 && m_pManager)
        return m_pManager->GetDefaultFontColor();
    return m_dwTextColor;
}

DWORD CLabelUI::EffectiveDisabledTextColor() const {
    if (m_dwDisabledTextColor == 0 && m_pManager)
        return m_pManager->GetDefaultDisabledColor();
    return m_dwDisabledTextColor;
}

RECT CLabelUI::TextRect() const {
    RECT rc = m_rcItem;
    const RECT padding = Scaled(m_rcTextPadding);
    rc.left += padding.left;
    rc.top += padding.top;
    rc.right -= padding.right;
    rc.bottom -= padding.bottom;
    return rc;
}

void CLabelUI::PaintText(HDC hDC) {
    if (m_sText.empty() || !m_pManager)
        return;
    const DWORD color = IsEnabled() ? EffectiveTextColor() : EffectiveDisabledTextColor();
    DrawPlainText(hDC, *m_pManager, TextRect(), m_sText, color, m_iFont, m_uTextStyle);
}

} // namespace SkinKit
