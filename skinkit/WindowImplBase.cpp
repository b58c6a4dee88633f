#include "WindowImplBase.h"

#include "LayoutMath.h"

#include <algorithm>
#include <cwchar>
#include <deque>
#include <vector>

namespace SkinKit {

namespace {

std::vector<IMessageObserver*>& Observers() {
    static std::vector<IMessageObserver*> observers;
    return observers;
}

// Skin archives copied out of the resources; they stay for the whole process
// because the skin store reads from them whenever an image is first used.
std::deque<std::vector<BYTE>>& SkinArchiveBuffers() {
    static std::deque<std::vector<BYTE>> buffers;
    return buffers;
}

bool LoadZipResource(const wchar_t* id) {
    HINSTANCE instance = CPaintManagerUI::GetResourceInstance();
    HRSRC info = ::FindResourceW(instance, id, L"ZIPRES");
    if (!info)
        return false;
    HGLOBAL handle = ::LoadResource(instance, info);
    if (!handle)
        return false;
    const DWORD size = ::SizeofResource(instance, info);
    const void* data = ::LockResource(handle);
    if (size == 0 || !data)
        return false;
    auto& buffers = SkinArchiveBuffers();
    buffers.emplace_back(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    CPaintManagerUI::SetResourceZip(buffers.back().data(), buffers.back().size());
    return true;
}

void DispatchButtonClick(CNotifyPump* self, TNotifyUI& msg) {
    static_cast<WindowImplBase*>(self)->OnButtonClick(msg);
}

const NotifyMapEntry kWindowImplBaseEntries[] = {
    {L"click", L"", NotifyHandlerMessage, nullptr, DispatchButtonClick},
    {L"", L"", NotifyHandlerEnd, nullptr, nullptr},
};

} // namespace

WindowImplBase::WindowImplBase() = default;

WindowImplBase::~WindowImplBase() = default;

const NotifyMap* WindowImplBase::GetNotifyMap() const {
    static const NotifyMap map = {CNotifyPump::GetNotifyMap(), kWindowImplBaseEntries};
    return &map;
}

void WindowImplBase::AddMessageObserver(IMessageObserver* observer) {
    if (observer && std::find(Observers().begin(), Observers().end(), observer) == Observers().end())
        Observers().push_back(observer);
}

void WindowImplBase::RemoveMessageObserver(IMessageObserver* observer) {
    auto& list = Observers();
    list.erase(std::remove(list.begin(), list.end(), observer), list.end());
}

std::wstring WindowImplBase::SkinFileName() {
    return m_skinFile;
}
CPaintManagerUI* WindowImplBase::GetPaintManager() {
    return &m_PaintManager;
}
void WindowImplBase::OnWindowReady() {}
int WindowImplBase::SkinSourceKind() const {
    return SkinSourceFolder;
}
std::wstring WindowImplBase::SkinArchiveName() {
    return std::wstring();
}
const wchar_t* WindowImplBase::SkinResourceId() {
    return L"";
}
std::wstring WindowImplBase::SkinFolder() {
    return std::wstring();
}

LONG WindowImplBase::WindowStyle() const {
    return static_cast<LONG>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)) & ~WS_CAPTION;
}

void WindowImplBase::OnButtonClick(TNotifyUI& msg) {
    if (!msg.pSender)
        return;
    const std::wstring& name = msg.pSender->GetName();
    if (name == L"closebtn")
        PostClose(8);
    else if (name == L"minbtn")
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
    else if (name == L"maxbtn")
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE);
    else if (name == L"restorebtn")
        SendMessage(WM_SYSCOMMAND, SC_RESTORE);
}

void WindowImplBase::OnNotify(TNotifyUI& msg) {
    NotifyPump(msg);
}

LRESULT WindowImplBase::MessageHandler(UINT, WPARAM, LPARAM, bool&) {
    return 0;
}

CControlUI* WindowImplBase::CreateControl(const wchar_t*) {
    return nullptr;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, bool& handled) {
    if (::IsIconic(m_hWnd)) {
        handled = false;
        return 0;
    }
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM wParam, LPARAM lParam, bool&) {
    RECT* proposed = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
    if (::IsZoomed(m_hWnd)) {
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
        proposed->right = proposed->left + (mi.rcWork.right - mi.rcWork.left);
        proposed->bottom = proposed->top + (mi.rcWork.bottom - mi.rcWork.top);
        return WVR_REDRAW;
    }
    return 0;
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, bool&) {
    return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool&) {
    POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ScreenToClient(m_hWnd, &pt);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const RECT box = m_PaintManager.GetSizeBox(), caption = m_PaintManager.GetCaptionRect();
    auto dragsWindow = [&]() {
        CControlUI* control = m_PaintManager.FindControl(pt);
        if (!control)
            return false;
        const wchar_t* cls = control->GetClass();
        return _wcsicmp(cls, L"ButtonUI") != 0 && _wcsicmp(cls, L"OptionUI") != 0 && _wcsicmp(cls, L"TextUI") != 0 &&
               _wcsicmp(cls, L"SliderUI") != 0;
    };
    return NonClientHitTest(UiRect{client.left, client.top, client.right, client.bottom}, pt.x, pt.y,
                            UiRect{box.left, box.top, box.right, box.bottom},
                            UiRect{caption.left, caption.top, caption.right, caption.bottom},
                            ::IsZoomed(m_hWnd) != FALSE, dragsWindow);
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& handled) {
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    info->ptMaxPosition.x = mi.rcWork.left - mi.rcMonitor.left;
    info->ptMaxPosition.y = mi.rcWork.top - mi.rcMonitor.top;
    info->ptMaxTrackSize.x = mi.rcWork.right - mi.rcWork.left;
    info->ptMaxTrackSize.y = mi.rcWork.bottom - mi.rcWork.top;
    const SIZE minimum = m_PaintManager.GetMinInfo();
    info->ptMinTrackSize.x = minimum.cx;
    info->ptMinTrackSize.y = minimum.cy;
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM wParam, LPARAM, bool& handled) {
    const SIZE round = m_PaintManager.GetRoundCorner();
    if (wParam != SIZE_MINIMIZED) {
        RECT rc{};
        ::GetWindowRect(m_hWnd, &rc);
        HRGN region = ::CreateRoundRectRgn(0, 0, rc.right - rc.left + 1, rc.bottom - rc.top + 1, round.cx, round.cy);
        // The window owns the region from here on; it must not be deleted.
        if (region && !::SetWindowRgn(m_hWnd, region, TRUE))
            ::DeleteObject(region);
    }
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnDpiChanged(UINT, WPARAM wParam, LPARAM lParam, bool&) {
    // The window moved to a monitor of another scale (or the scale changed):
    // everything is measured again and the window takes the place the system
    // suggests, which keeps it under the pointer while it is dragged.
    m_PaintManager.SetDpi(LOWORD(wParam));
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    if (suggested)
        ::SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

LRESULT WindowImplBase::OnChar(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool&) {
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        SendMessage(WM_CLOSE);
        return 0;
    }
    const bool wasZoomed = ::IsZoomed(m_hWnd) != FALSE;
    const LRESULT result = CWindowWnd::OnMessage(uMsg, wParam, lParam);
    if (::IsWindow(m_hWnd) && wasZoomed != (::IsZoomed(m_hWnd) != FALSE)) {
        CControlUI* maxButton = m_PaintManager.FindControl(L"maxbtn");
        CControlUI* restoreButton = m_PaintManager.FindControl(L"restorebtn");
        if (maxButton && restoreButton) {
            maxButton->SetVisible(wasZoomed);
            restoreButton->SetVisible(!wasZoomed);
        }
    }
    return result;
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, bool&) {
    m_PaintManager.MarkCreateStart();
    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE,
                        (style & ~static_cast<LONG_PTR>(WS_CAPTION)) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    RECT rc{};
    ::GetWindowRect(m_hWnd, &rc);
    ::SetWindowPos(m_hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE);

    m_PaintManager.Init(m_hWnd);
    m_PaintManager.AddPreMessageFilter(this);
    if (CPaintManagerUI::GetResourcePath().empty())
        CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath() + SkinFolder());

    const int kind = SkinSourceKind();
    if (kind == SkinSourceArchiveFile) {
        CPaintManagerUI::SetResourceZip(SkinArchiveName(), true);
    } else if (kind == SkinSourceResourceZip) {
        if (!LoadZipResource(SkinResourceId()))
            return 0;
    }

    CDialogBuilder builder;
    CControlUI* root =
        builder.Create(SkinFileName(), kind == SkinSourceResourceXml ? L"xml" : L"", this, &m_PaintManager);
    if (!root) {
        ::MessageBoxW(nullptr, L"加载资源文件失败", L"错误提示", MB_OK | MB_ICONERROR);
        ::ExitProcess(1);
    }
    m_PaintManager.AttachDialog(root);
    m_PaintManager.AddNotifier(this);
    OnWindowReady();
    return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = false;
    const std::vector<IMessageObserver*> observers = Observers();
    for (IMessageObserver* observer : observers) {
        if (!observer->OnWindowMessage(uMsg, wParam, lParam, ::GetTickCount())) {
            handled = true;
            return 1;
        }
    }
    return 0;
}

LRESULT WindowImplBase::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    bool handled = true;
    LRESULT result = 0;
    switch (uMsg) {
    case WM_CREATE:
        result = OnCreate(uMsg, wParam, lParam, handled);
        break;
    case WM_CLOSE:
        result = OnClose(uMsg, wParam, lParam, handled);
        break;
    case WM_DESTROY:
        result = OnDestroy(uMsg, wParam, lParam, handled);
        break;
    case WM_NCACTIVATE:
        result = OnNcActivate(uMsg, wParam, lParam, handled);
        break;
    case WM_NCCALCSIZE:
        result = OnNcCalcSize(uMsg, wParam, lParam, handled);
        break;
    case WM_NCPAINT:
        result = OnNcPaint(uMsg, wParam, lParam, handled);
        break;
    case WM_NCHITTEST:
        result = OnNcHitTest(uMsg, wParam, lParam, handled);
        break;
    case WM_GETMINMAXINFO:
        result = OnGetMinMaxInfo(uMsg, wParam, lParam, handled);
        break;
    case WM_MOUSEWHEEL:
        result = OnMouseWheel(uMsg, wParam, lParam, handled);
        break;
    case WM_MOUSEHOVER:
        result = OnMouseHover(uMsg, wParam, lParam, handled);
        break;
    case WM_SIZE:
        result = OnSize(uMsg, wParam, lParam, handled);
        break;
    case WM_CHAR:
        result = OnChar(uMsg, wParam, lParam, handled);
        break;
    case WM_SYSCOMMAND:
        result = OnSysCommand(uMsg, wParam, lParam, handled);
        break;
    case WM_KEYDOWN:
        result = OnKeyDown(uMsg, wParam, lParam, handled);
        break;
    case kDpiChangedMessage:
        result = OnDpiChanged(uMsg, wParam, lParam, handled);
        break;
    case WM_KILLFOCUS:
        result = OnKillFocus(uMsg, wParam, lParam, handled);
        break;
    case WM_SETFOCUS:
        result = OnSetFocus(uMsg, wParam, lParam, handled);
        break;
    case WM_LBUTTONDOWN:
        result = OnLButtonDown(uMsg, wParam, lParam, handled);
        break;
    case WM_LBUTTONUP:
        result = OnLButtonUp(uMsg, wParam, lParam, handled);
        break;
    case WM_MOUSEMOVE:
        result = OnMouseMove(uMsg, wParam, lParam, handled);
        break;
    default:
        handled = false;
        break;
    }
    if (handled)
        return result;
    handled = false;
    result = OnCustomMessage(uMsg, wParam, lParam, handled);
    if (handled)
        return result;
    if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, result))
        return result;
    return CWindowWnd::OnMessage(uMsg, wParam, lParam);
}

void WindowImplBase::OnWindowGone(HWND) {
    m_PaintManager.RemovePreMessageFilter(this);
    m_PaintManager.RemoveNotifier(this);
    if (CControlUI* root = m_PaintManager.GetRoot())
        m_PaintManager.ReapObjects(root);
}

} // namespace SkinKit
