#include "EditWnd.h"

#include "EditUI.h"
#include "PaintManagerUI.h"
#include "RenderEngine.h"

#include <vector>

namespace SkinKit {

namespace {

constexpr UINT kReflectBase = WM_USER + 0x1c00;
// Posted on losing the keyboard focus; the window closes only if the focus did
// not come back meanwhile (a click into the same edit takes it away and back).
constexpr UINT kCloseIfUnfocused = WM_USER + 1;

} // namespace

CEditWnd::CEditWnd() = default;

CEditWnd::~CEditWnd() {
    if (m_hBkBrush)
        ::DeleteObject(m_hBkBrush);
}

const wchar_t* CEditWnd::WindowClassName() const {
    return L"SkinKitEditWnd";
}
const wchar_t* CEditWnd::SuperclassName() const {
    return L"EDIT";
}

RECT CEditWnd::TextArea() const {
    RECT rc = m_pOwner->GetPos();
    const RECT padding = m_pOwner->GetTextPadding();
    rc.left += padding.left;
    rc.top += padding.top;
    rc.right -= padding.right;
    rc.bottom -= padding.bottom;
    return rc;
}

bool CEditWnd::Init(CEditUI* owner) {
    m_pOwner = owner;
    CPaintManagerUI* manager = owner->GetManager();
    if (!manager || !manager->GetPaintWindow())
        return false;
    DWORD style = WS_CHILD | ES_AUTOHSCROLL;
    if (owner->IsPasswordMode())
        style |= ES_PASSWORD;
    if (owner->IsNumberOnly())
        style |= ES_NUMBER;
    const UINT textStyle = owner->GetTextStyle();
    if (textStyle & DT_CENTER)
        style |= ES_CENTER;
    else if (textStyle & DT_RIGHT)
        style |= ES_RIGHT;
    if (!Create(manager->GetPaintWindow(), nullptr, style, 0, TextArea()))
        return false;

    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(manager->GetFont(owner->GetFont())), FALSE);
    ::SendMessageW(m_hWnd, EM_LIMITTEXT, static_cast<WPARAM>(owner->GetMaxChar()), 0);
    if (owner->IsPasswordMode())
        ::SendMessageW(m_hWnd, EM_SETPASSWORDCHAR, static_cast<WPARAM>(owner->GetPasswordChar()), 0);
    const std::wstring text = owner->GetText();
    ::SetWindowTextW(m_hWnd, text.c_str()); // the control's own text: not a change
    m_bReady = true;
    ::SendMessageW(m_hWnd, EM_SETMODIFY, FALSE, 0);
    ::SendMessageW(m_hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    ::EnableWindow(m_hWnd, owner->IsEnabled() ? TRUE : FALSE);
    ::SendMessageW(m_hWnd, EM_SETREADONLY, owner->IsReadOnly() ? TRUE : FALSE, 0);
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    ::SetFocus(m_hWnd);
    return true;
}

void CEditWnd::DetachOwner() {
    m_pOwner = nullptr;
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

void CEditWnd::OnTextChanged() {
    if (!m_pOwner || !m_bReady)
        return;
    const int length = ::GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    ::GetWindowTextW(m_hWnd, buffer.data(), length + 1);
    m_pOwner->m_sText.assign(buffer.data());
    if (!m_pOwner->IsReadOnly() && m_pOwner->GetManager())
        m_pOwner->GetManager()->SendNotify(m_pOwner, L"textchanged");
}

LRESULT CEditWnd::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_KILLFOCUS: {
        LRESULT result = CWindowWnd::OnMessage(uMsg, wParam, lParam);
        ::PostMessageW(m_hWnd, kCloseIfUnfocused, 0, 0);
        return result;
    }
    case kCloseIfUnfocused:
        if (::GetFocus() != m_hWnd)
            ::DestroyWindow(m_hWnd);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN && m_pOwner && m_pOwner->GetManager()) {
            m_pOwner->GetManager()->SendNotify(m_pOwner, L"return");
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == VK_RETURN || wParam == VK_TAB)
            return 0; // handled elsewhere; no beep
        break;
    case kReflectBase + WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE)
            OnTextChanged();
        return 0;
    case kReflectBase + WM_CTLCOLOREDIT:
    case kReflectBase + WM_CTLCOLORSTATIC: {
        if (!m_pOwner)
            break;
        HDC dc = reinterpret_cast<HDC>(wParam);
        DWORD text = m_pOwner->m_dwNativeTextColor;
        if (text == 0)
            text = m_pOwner->IsEnabled() ? m_pOwner->EffectiveTextColor() : m_pOwner->EffectiveDisabledTextColor();
        const DWORD back = m_pOwner->m_dwNativeBkColor ? m_pOwner->m_dwNativeBkColor : m_pOwner->GetBkColor();
        ::SetTextColor(dc, ToColorRef(text));
        ::SetBkColor(dc, ToColorRef(back ? back : 0xFFFFFFFF));
        if (!m_hBkBrush)
            m_hBkBrush = ::CreateSolidBrush(ToColorRef(back ? back : 0xFFFFFFFF));
        return reinterpret_cast<LRESULT>(m_hBkBrush);
    }
    default:
        break;
    }
    return CWindowWnd::OnMessage(uMsg, wParam, lParam);
}

void CEditWnd::OnWindowGone(HWND) {
    if (m_pOwner) {
        m_pOwner->m_pWindow = nullptr;
        m_pOwner->Invalidate();
    }
    delete this;
}

} // namespace SkinKit
