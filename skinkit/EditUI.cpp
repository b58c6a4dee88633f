#include "EditUI.h"

#include "EditWnd.h"
#include "PaintManagerUI.h"
#include "RenderEngine.h"
#include "TextFit.h"
#include "ValueSyntax.h"

#include <cwchar>

namespace SkinKit {

CEditUI::CEditUI() {
    m_nBorderSize = 1;
    m_dwBorderColor = 0xFFBAC0C5;
    m_rcTextPadding = RECT{4, 3, 4, 3};
    m_dwBackColor = 0xFFFFFFFF;
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER;
}

CEditUI::~CEditUI() {
    if (m_pWindow)
        m_pWindow->DetachOwner();
}

const wchar_t* CEditUI::GetClass() const {
    return L"EditUI";
}

void* CEditUI::GetInterface(const wchar_t* name) {
    if (wcscmp(name, L"Edit") == 0)
        return this;
    return CLabelUI::GetInterface(name);
}

void CEditUI::SetText(const std::wstring& text) {
    m_sText = text;
    if (m_pWindow && m_pWindow->GetHWND())
        ::SetWindowTextW(m_pWindow->GetHWND(), text.c_str());
    Invalidate();
}

void CEditUI::SetEnabled(bool enabled) {
    CLabelUI::SetEnabled(enabled);
    if (!enabled)
        m_bHot = false;
    if (m_pWindow && m_pWindow->GetHWND())
        ::EnableWindow(m_pWindow->GetHWND(), enabled ? TRUE : FALSE);
}

void CEditUI::SetReadOnly(bool readOnly) {
    m_bReadOnly = readOnly;
    if (m_pWindow && m_pWindow->GetHWND())
        ::SendMessageW(m_pWindow->GetHWND(), EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
    Invalidate();
}

std::wstring CEditUI::DisplayText() const {
    if (m_sText.empty() || m_sText == m_sTipValue)
        return m_sTipValue;
    if (m_bPasswordMode)
        return std::wstring(m_sText.size(), m_cPasswordChar);
    return m_sText;
}

DWORD CEditUI::DisplayColor() const {
    if (!IsEnabled())
        return EffectiveDisabledTextColor();
    if (m_sText.empty() || m_sText == m_sTipValue)
        return m_dwTipValueColor;
    return EffectiveTextColor();
}

void CEditUI::SetPos(RECT rc, bool needInvalidate) {
    CLabelUI::SetPos(rc, needInvalidate);
    if (m_pWindow && m_pWindow->GetHWND()) {
        const RECT area = m_pWindow->TextArea();
        ::SetWindowPos(m_pWindow->GetHWND(), nullptr, area.left, area.top, area.right - area.left,
                       area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CEditUI::SetVisible(bool visible) {
    CLabelUI::SetVisible(visible);
    if (!IsVisible() && m_pWindow && m_pManager)
        m_pManager->SetFocus(nullptr);
}

void CEditUI::OpenNativeWindow() {
    if (m_pWindow || !m_pManager || !m_pManager->GetPaintWindow())
        return;
    CEditWnd* window = new CEditWnd;
    m_pWindow = window;
    if (!window->Init(this)) {
        // A window that was made and destroyed again during creation has
        // deleted itself and cleared m_pWindow; otherwise nothing will.
        if (m_pWindow == window) {
            m_pWindow = nullptr;
            delete window;
        }
    }
}

void CEditUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        if (IsEnabled()) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_IBEAM));
            return;
        }
        break;
    case UIEVENT_SETFOCUS:
        if (IsEnabled()) {
            m_bFocused = true;
            OpenNativeWindow();
            Invalidate();
        }
        return;
    case UIEVENT_KILLFOCUS:
        m_bFocused = false;
        // Focus moved to another control (Tab): take the keyboard away from the
        // native window so that it closes and keys reach the new focus.
        if (m_pWindow && m_pWindow->GetHWND() && ::GetFocus() == m_pWindow->GetHWND() && m_pManager)
            ::SetFocus(m_pManager->GetPaintWindow());
        Invalidate();
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
    case UIEVENT_RBUTTONDOWN:
        if (IsEnabled()) {
            if (::GetCapture() == (m_pManager ? m_pManager->GetPaintWindow() : nullptr))
                ::ReleaseCapture();
            OpenNativeWindow();
            if (m_pWindow && m_pWindow->GetHWND()) {
                ::SetFocus(m_pWindow->GetHWND());
                ::SendMessageW(m_pWindow->GetHWND(), EM_SETSEL, 0, -1);
            }
        }
        return;
    case UIEVENT_WINDOWSIZE:
        // The window may have a new scale: the open native field takes the font made for it.
        if (m_pWindow && m_pWindow->GetHWND() && m_pManager)
            ::SendMessageW(m_pWindow->GetHWND(), WM_SETFONT, reinterpret_cast<WPARAM>(m_pManager->GetFont(m_iFont)),
                           TRUE);
        return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP:
        return;
    case UIEVENT_MOUSEENTER:
        if (IsEnabled()) {
            m_bHot = true;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        if (m_bHot) {
            m_bHot = false;
            Invalidate();
        }
        return;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CEditUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    const std::wstring n = name;
    if (n == L"readonly")
        SetReadOnly(ParseBool(value));
    else if (n == L"numberonly")
        m_bNumberOnly = ParseBool(value);
    else if (n == L"password")
        m_bPasswordMode = ParseBool(value);
    else if (n == L"passwordchar")
        m_cPasswordChar = value[0] ? value[0] : L'*';
    else if (n == L"maxchar")
        m_iMaxChar = ParseInt(value) < 0 ? 0 : ParseInt(value);
    else if (n == L"normalimage")
        m_sNormalImage = value;
    else if (n == L"hotimage")
        m_sHotImage = value;
    else if (n == L"focusedimage")
        m_sFocusedImage = value;
    else if (n == L"disabledimage")
        m_sDisabledImage = value;
    else if (n == L"tipvalue")
        m_sTipValue = value;
    else if (n == L"tipvaluecolor")
        m_dwTipValueColor = ParseColor(value);
    else if (n == L"nativetextcolor")
        m_dwNativeTextColor = ParseColor(value);
    else if (n == L"nativebkcolor")
        m_dwNativeBkColor = ParseColor(value);
    else // "enabletimer", "timerdelay", "regularcheck", "regulartip" and the label's names
        CLabelUI::SetAttribute(name, value);
    Invalidate();
}

void CEditUI::PaintStatusImage(HDC hDC) {
    std::wstring* image = nullptr;
    if (!IsEnabled() && !m_sDisabledImage.empty())
        image = &m_sDisabledImage;
    else if (IsEnabled() && IsFocused() && !m_sFocusedImage.empty())
        image = &m_sFocusedImage;
    else if (IsEnabled() && !IsFocused() && m_bHot && !m_sHotImage.empty())
        image = &m_sHotImage;
    if (image && DrawImage(hDC, *image))
        return;
    if (!m_sNormalImage.empty())
        DrawImage(hDC, m_sNormalImage);
}

void CEditUI::PaintText(HDC hDC) {
    if (!m_pManager)
        return;
    std::wstring text = DisplayText();
    if (text.empty())
        return;
    // A text wider than the field loses its middle, not its end, and the
    // whole of it becomes the tooltip.
    const RECT rc = TextRect();
    HGDIOBJ oldFont = ::SelectObject(hDC, m_pManager->GetFont(m_iFont));
    const std::wstring shown = EllipsizeMiddle(text, rc.right - rc.left, [hDC](const std::wstring& candidate) {
        SIZE extent{0, 0};
        ::GetTextExtentPoint32W(hDC, candidate.c_str(), static_cast<int>(candidate.size()), &extent);
        return static_cast<int>(extent.cx);
    });
    ::SelectObject(hDC, oldFont);
    const bool cut = shown != text && !m_bPasswordMode;
    if (cut) {
        m_sToolTip = m_sText;
        m_bToolTipIsText = true;
    } else if (m_bToolTipIsText) {
        m_sToolTip.clear();
        m_bToolTipIsText = false;
    }
    DrawPlainText(hDC, *m_pManager, rc, shown, DisplayColor(), m_iFont, m_uTextStyle | DT_SINGLELINE);
}

} // namespace SkinKit
