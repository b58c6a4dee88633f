#include "WindowWnd.h"

#include "LayoutMath.h"
#include "PaintManagerUI.h"

namespace SkinKit {

namespace {

const wchar_t kObjectProperty[] = L"WndX";

} // namespace

CWindowWnd::CWindowWnd() : m_OldWndProc(::DefWindowProcW) {}

CWindowWnd::~CWindowWnd() = default;

const wchar_t* CWindowWnd::SuperclassName() const {
    return nullptr;
}

UINT CWindowWnd::ClassStyle() const {
    return 0;
}

LRESULT CWindowWnd::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::CallWindowProcW(m_OldWndProc, m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::OnWindowGone(HWND) {}

bool CWindowWnd::RegisterWindowClass() {
    WNDCLASSW wc{};
    wc.style = ClassStyle();
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = WindowClassName();
    if (::RegisterClassW(&wc))
        return true;
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(nullptr, SuperclassName(), &wc) &&
        !::GetClassInfoExW(CPaintManagerUI::GetInstance(), SuperclassName(), &wc))
        return false;
    m_OldWndProc = wc.lpfnWndProc;
    wc.lpfnWndProc = SuperclassProc;
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.lpszClassName = WindowClassName();
    if (::RegisterClassExW(&wc))
        return true;
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* windowName, DWORD style, DWORD exStyle, const RECT& rc,
                        HMENU menu) {
    return Create(parent, windowName, style, exStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, menu);
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* windowName, DWORD style, DWORD exStyle, int x, int y, int cx,
                        int cy, HMENU menu) {
    if (SuperclassName() != nullptr && !RegisterSuperclass())
        return nullptr;
    if (SuperclassName() == nullptr && !RegisterWindowClass())
        return nullptr;
    // WM_NCCREATE records the handle. On failure the object is not touched: a
    // window destroyed during creation has already been through OnWindowGone,
    // which may have deleted it.
    HWND hWnd = ::CreateWindowExW(exStyle, WindowClassName(), windowName, style, x, y, cx, cy, parent, menu,
                                  CPaintManagerUI::GetInstance(), this);
    if (!hWnd)
        return nullptr;
    m_hWnd = hWnd;
    return hWnd;
}

HWND CWindowWnd::Subclass(HWND hWnd) {
    if (!::IsWindow(hWnd))
        return nullptr;
    m_OldWndProc =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SuperclassProc)));
    if (!m_OldWndProc)
        return nullptr;
    m_bSubclassed = true;
    m_hWnd = hWnd;
    ::SetPropW(hWnd, kObjectProperty, this);
    return m_hWnd;
}

void CWindowWnd::Unsubclass() {
    if (!m_bSubclassed || !::IsWindow(m_hWnd))
        return;
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_OldWndProc));
    ::RemovePropW(m_hWnd, kObjectProperty);
    m_OldWndProc = ::DefWindowProcW;
    m_bSubclassed = false;
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
    if (!::IsWindow(m_hWnd))
        return;
    ::ShowWindow(m_hWnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

void CWindowWnd::CenterWindow() {
    if (!::IsWindow(m_hWnd))
        return;
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    RECT area{};
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner) {
        ::GetWindowRect(owner, &area);
    } else {
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
        area = mi.rcWork;
    }
    const int width = window.right - window.left, height = window.bottom - window.top;
    int left = 0, top = 0;
    CentreInArea(UiRect{area.left, area.top, area.right, area.bottom}, width, height, left, top);
    ::SetWindowPos(m_hWnd, nullptr, left, top, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::PostClose(UINT code) {
    if (::IsWindow(m_hWnd))
        ::PostMessageW(m_hWnd, WM_CLOSE, static_cast<WPARAM>(code), 0);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    RECT rc{};
    if (!::GetClientRect(m_hWnd, &rc))
        return;
    if (cx != -1)
        rc.right = cx;
    if (cy != -1)
        rc.bottom = cy;
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
    if (!::AdjustWindowRectEx(&rc, style, ::GetMenu(m_hWnd) != nullptr, exStyle))
        return;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

// The object is found through GWLP_USERDATA for windows of its own class and
// through a window property for superclassed and subclassed ones.
LRESULT CALLBACK CWindowWnd::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* self = nullptr;
    if (uMsg == WM_NCCREATE) {
        self = static_cast<CWindowWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self) {
            self->m_hWnd = hWnd;
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    }
    return Dispatch(self, hWnd, uMsg, wParam, lParam, [](HWND gone) { ::SetWindowLongPtrW(gone, GWLP_USERDATA, 0); });
}

LRESULT CALLBACK CWindowWnd::SuperclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* self = nullptr;
    if (uMsg == WM_NCCREATE) {
        self = static_cast<CWindowWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self) {
            self->m_hWnd = hWnd;
            ::SetPropW(hWnd, kObjectProperty, self);
        }
    } else {
        self = static_cast<CWindowWnd*>(::GetPropW(hWnd, kObjectProperty));
    }
    return Dispatch(self, hWnd, uMsg, wParam, lParam, [](HWND gone) { ::RemovePropW(gone, kObjectProperty); });
}

LRESULT CWindowWnd::Dispatch(CWindowWnd* self, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                             void (*forget)(HWND)) {
    if (!self)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    if (uMsg != WM_NCDESTROY)
        return self->OnMessage(uMsg, wParam, lParam);
    // The window's own procedure finishes first; then the link is cut before
    // OnWindowGone, which may delete the object.
    LRESULT result = ::CallWindowProcW(self->m_OldWndProc, hWnd, uMsg, wParam, lParam);
    forget(hWnd);
    if (self->m_bSubclassed)
        self->Unsubclass();
    self->m_hWnd = nullptr;
    self->OnWindowGone(hWnd);
    return result;
}

} // namespace SkinKit
