#include "ButtonUI.h"

#include "PaintManagerUI.h"
#include "RenderEngine.h"
#include "ValueSyntax.h"

#include <cwchar>

namespace SkinKit {

namespace {

bool IsMouseEvent(int type) {
    return type == UIEVENT_MOUSEMOVE || type == UIEVENT_MOUSELEAVE || type == UIEVENT_MOUSEENTER ||
           type == UIEVENT_MOUSEHOVER || type == UIEVENT_BUTTONDOWN || type == UIEVENT_BUTTONUP ||
           type == UIEVENT_RBUTTONDOWN || type == UIEVENT_DBLCLICK || type == UIEVENT_CONTEXTMENU ||
           type == UIEVENT_SCROLLWHEEL;
}

} // namespace

CButtonUI::CButtonUI() {
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
}

const wchar_t* CButtonUI::GetClass() const {
    return L"ButtonUI";
}

void* CButtonUI::GetInterface(const wchar_t* name) {
    if (wcscmp(name, L"Button") == 0)
        return this;
    return CLabelUI::GetInterface(name);
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate())
        return false;
    if (m_pManager)
        m_pManager->SendNotify(this, L"click");
    return true;
}

void CButtonUI::SetEnabled(bool enabled) {
    CControlUI::SetEnabled(enabled);
    if (!enabled)
        m_uButtonState = 0;
}

void CButtonUI::DoEvent(TEventUI& event) {
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
        if (m_pParent)
            m_pParent->DoEvent(event);
        else
            CLabelUI::DoEvent(event);
        return;
    }
    const bool inside = ::PtInRect(&m_rcItem, event.ptMouse) != FALSE;
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
        CLabelUI::DoEvent(event);
        return;
    case UIEVENT_KEYDOWN:
        if (IsKeyboardEnabled() && (event.chKey == VK_SPACE || event.chKey == VK_RETURN)) {
            Activate();
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (inside && IsEnabled()) {
            m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_uButtonState & UISTATE_CAPTURED) {
            if (inside)
                m_uButtonState |= UISTATE_PUSHED;
            else
                m_uButtonState &= ~UISTATE_PUSHED;
            Invalidate();
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_uButtonState & UISTATE_CAPTURED) {
            m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
            if (inside)
                Activate();
        }
        return;
    case UIEVENT_CONTEXTMENU:
        if (m_bMenuUsed && m_pManager)
            m_pManager->SendNotify(this, L"menu", event.wParam, event.lParam);
        return;
    case UIEVENT_MOUSEENTER:
        if (IsEnabled()) {
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        if (m_uButtonState & UISTATE_HOT) {
            m_uButtonState &= ~UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    const std::wstring n = name;
    if (n == L"normalimage")
        m_sNormalImage = value;
    else if (n == L"hotimage")
        m_sHotImage = value;
    else if (n == L"pushedimage")
        m_sPushedImage = value;
    else if (n == L"focusedimage")
        m_sFocusedImage = value;
    else if (n == L"disabledimage")
        m_sDisabledImage = value;
    else if (n == L"foreimage")
        m_sForeImage = value;
    else if (n == L"hotforeimage")
        m_sHotForeImage = value;
    else if (n == L"hotbkcolor")
        m_dwHotBkColor = ParseColor(value);
    else if (n == L"hottextcolor")
        m_dwHotTextColor = ParseColor(value);
    else if (n == L"pushedtextcolor")
        m_dwPushedTextColor = ParseColor(value);
    else if (n == L"focusedtextcolor")
        m_dwFocusedTextColor = ParseColor(value);
    else if (n == L"menu")
        m_bMenuUsed = ParseBool(value);
    else if (n == L"multiline")
        SetTextStyle(ParseBool(value) ? (m_uTextStyle & ~DT_SINGLELINE) | DT_WORDBREAK
                                      : (m_uTextStyle & ~DT_WORDBREAK) | DT_SINGLELINE);
    else // "bindtabindex", "bindtablayoutname" and the label's names
        CLabelUI::SetAttribute(name, value);
    Invalidate();
}

void CButtonUI::PaintStatusImage(HDC hDC) {
    if (IsFocused())
        m_uButtonState |= UISTATE_FOCUSED;
    else
        m_uButtonState &= ~UISTATE_FOCUSED;
    if (!IsEnabled())
        m_uButtonState |= UISTATE_DISABLED;
    else
        m_uButtonState &= ~UISTATE_DISABLED;

    auto drawFore = [&] {
        if (!m_sForeImage.empty())
            DrawImage(hDC, m_sForeImage);
    };
    // The highest state decides; a state without its own image shows the normal one.
    if (m_uButtonState & UISTATE_DISABLED) {
        if (!m_sDisabledImage.empty() && DrawImage(hDC, m_sDisabledImage)) {
            drawFore();
            return;
        }
    } else if (m_uButtonState & UISTATE_PUSHED) {
        if (!m_sPushedImage.empty() && DrawImage(hDC, m_sPushedImage)) {
            drawFore();
            return;
        }
    } else if (m_uButtonState & UISTATE_HOT) {
        if (!m_sHotImage.empty()) {
            if (DrawImage(hDC, m_sHotImage)) {
                if (!m_sHotForeImage.empty())
                    DrawImage(hDC, m_sHotForeImage);
                else
                    drawFore();
                return;
            }
        } else if (m_dwHotBkColor != 0) {
            DrawColor(hDC, m_rcItem, m_dwHotBkColor);
            return;
        }
    } else if (m_uButtonState & UISTATE_FOCUSED) {
        if (!m_sFocusedImage.empty() && DrawImage(hDC, m_sFocusedImage)) {
            drawFore();
            return;
        }
    }
    if (!m_sNormalImage.empty())
        DrawImage(hDC, m_sNormalImage);
    drawFore();
}

void CButtonUI::PaintText(HDC hDC) {
    if (m_sText.empty() || !m_pManager)
        return;
    DWORD color = IsEnabled() ? EffectiveTextColor() : EffectiveDisabledTextColor();
    if ((m_uButtonState & UISTATE_PUSHED) && m_dwPushedTextColor != 0)
        color = m_dwPushedTextColor;
    else if ((m_uButtonState & UISTATE_HOT) && m_dwHotTextColor != 0)
        color = m_dwHotTextColor;
    else if ((m_uButtonState & UISTATE_FOCUSED) && m_dwFocusedTextColor != 0)
        color = m_dwFocusedTextColor;
    DrawPlainText(hDC, *m_pManager, TextRect(), m_sText, color, m_iFont, m_uTextStyle);
}

} // namespace SkinKit
