#include "PaintManagerUI.h"

#include "ImageLoader.h"
#include "LayoutMath.h"
#include "RenderEngine.h"
#include "SkinResources.h"
#include "ValueSyntax.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>

namespace SkinKit {

namespace {

HINSTANCE g_instance = nullptr;
// Managers of the thread's windows, visited by the pre-dispatch step.
// Never destroyed: managers of static windows may outlive any static list.
std::vector<CPaintManagerUI*>& Managers() {
    static auto* managers = new std::vector<CPaintManagerUI*>;
    return *managers;
}

// Reflected control-colour messages for the native edit windows.
constexpr UINT kReflectBase = WM_USER + 0x1c00;

POINT PointFromLParam(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

CControlUI* CALLBACK FindControlFromPoint(CControlUI* control, LPVOID data) {
    return ::PtInRect(&control->GetPos(), *static_cast<POINT*>(data)) ? control : nullptr;
}

struct NameCollector {
    std::unordered_map<std::wstring, CControlUI*>* map;
};

CControlUI* CALLBACK CollectName(CControlUI* control, LPVOID data) {
    auto* collector = static_cast<NameCollector*>(data);
    if (!control->GetName().empty())
        (*collector->map)[control->GetName()] = control;
    return nullptr; // keep walking
}

CControlUI* CALLBACK CollectControl(CControlUI* control, LPVOID data) {
    static_cast<std::vector<CControlUI*>*>(data)->push_back(control);
    return nullptr;
}

} // namespace

CPaintManagerUI::CPaintManagerUI() {
    m_hDcMeasure = ::CreateCompatibleDC(nullptr);
    m_defaultFont.hFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    MeasureFont(m_defaultFont);
}

CPaintManagerUI::~CPaintManagerUI() {
    // Controls reach back into the manager while they are destroyed.
    m_pRoot.reset();
    m_pFocus = m_pEventHover = m_pEventClick = m_pEventKey = nullptr;
    auto& managers = Managers();
    managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
    for (TFontInfo& font : m_fonts)
        ::DeleteObject(font.hFont);
    if (m_ownsDefaultFont)
        ::DeleteObject(m_defaultFont.hFont);
    m_images.clear();
    if (m_hDcMeasure)
        ::DeleteDC(m_hDcMeasure);
}

HINSTANCE CPaintManagerUI::GetInstance() {
    return g_instance;
}
void CPaintManagerUI::SetInstance(HINSTANCE instance) {
    g_instance = instance;
}
HINSTANCE CPaintManagerUI::GetResourceInstance() {
    return SkinStore().GetResourceInstance();
}
void CPaintManagerUI::SetResourceInstance(HINSTANCE instance) {
    SkinStore().SetResourceInstance(instance);
}

std::wstring CPaintManagerUI::GetInstancePath() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameW(g_instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::wstring();
    std::wstring p(path, n);
    const size_t slash = p.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1);
}

std::wstring CPaintManagerUI::GetResourcePath() {
    return SkinStore().GetResourcePath();
}
void CPaintManagerUI::SetResourcePath(const std::wstring& path) {
    SkinStore().SetResourcePath(path.c_str());
}

void CPaintManagerUI::SetResourceZip(const std::wstring& archiveName, bool cached) {
    SkinStore().SetResourceZip(archiveName.c_str(), cached);
}

void CPaintManagerUI::SetResourceZip(const void* data, size_t size) {
    SkinStore().SetResourceZip(data, size);
}

void CPaintManagerUI::MessageLoop() {
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

bool CPaintManagerUI::TranslateMessage(const MSG* msg) {
    const LONG_PTR style = ::GetWindowLongPtrW(msg->hwnd, GWL_STYLE);
    // A copy: handlers may create or destroy windows meanwhile.
    const std::vector<CPaintManagerUI*> managers = Managers();
    auto stillAlive = [](CPaintManagerUI* m) {
        const auto& current = Managers();
        return std::find(current.begin(), current.end(), m) != current.end();
    };
    if ((style & WS_CHILD) == 0) {
        for (CPaintManagerUI* m : managers) {
            if (!stillAlive(m) || m->m_preMessageFilters.empty() || m->m_hWndPaint != msg->hwnd)
                continue;
            if (m->TranslateAccelerator(const_cast<MSG*>(msg)))
                return true;
            LRESULT result = 0;
            return m->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result);
        }
        return false;
    }
    for (HWND parent = msg->hwnd; parent; parent = ::GetParent(parent)) {
        for (CPaintManagerUI* m : managers) {
            if (!stillAlive(m) || m->m_preMessageFilters.empty() || m->m_hWndPaint != parent)
                continue;
            if (m->TranslateAccelerator(const_cast<MSG*>(msg)))
                return true;
            LRESULT result = 0;
            m->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result);
        }
    }
    return false;
}

int CPaintManagerUI::DpiOfWindow(HWND hWnd) {
    // Windows 10 1607 and later know each window's dpi; before that every
    // window of a dpi-aware process has the system's.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && hWnd) {
        const UINT dpi = getDpiForWindow(hWnd);
        if (dpi >= 48 && dpi <= 960)
            return static_cast<int>(dpi);
    }
    int dpi = kBaseDpi;
    if (HDC screen = ::GetDC(nullptr)) {
        dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    return dpi >= 48 && dpi <= 960 ? dpi : kBaseDpi;
}

void CPaintManagerUI::DeclareDpiAwareness() {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    const auto setContext = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (setContext && setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))))
        return;
    ::SetProcessDPIAware();
}

int CPaintManagerUI::Scale(int length) const {
    return ScaleLength(length, m_dpi);
}

void CPaintManagerUI::SetDpi(int dpi) {
    if (dpi < 48 || dpi > 960 || dpi == m_dpi)
        return;
    m_dpi = dpi;
    for (TFontInfo& font : m_fonts) {
        TFontInfo scaled;
        if (CreateFontInfo(font.sFontName, font.iSize, font.bBold, font.bUnderline, font.bItalic, true, scaled)) {
            ::DeleteObject(font.hFont);
            font = scaled;
        }
    }
    if (m_ownsDefaultFont) {
        TFontInfo scaled;
        if (CreateFontInfo(m_defaultFont.sFontName, m_defaultFont.iSize, m_defaultFont.bBold, m_defaultFont.bUnderline,
                           m_defaultFont.bItalic, false, scaled)) {
            ::DeleteObject(m_defaultFont.hFont);
            m_defaultFont = scaled;
        }
    }
    if (m_pRoot) {
        std::vector<CControlUI*> all;
        m_pRoot->FindControl(CollectControl, &all, UIFIND_ALL);
        for (CControlUI* c : all)
            c->NeedUpdate();
        // Native windows over controls (an open edit) take the new font and place.
        if (m_pFocus) {
            TEventUI e = MakeEvent(UIEVENT_WINDOWSIZE, m_pFocus, m_ptLastMousePos, 0, 0);
            m_pFocus->Event(e);
        }
    }
    m_bUpdateNeeded = true;
    if (m_hWndPaint)
        ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

void CPaintManagerUI::Init(HWND hWnd) {
    m_hWndPaint = hWnd;
    m_dpi = DpiOfWindow(hWnd);
    auto& managers = Managers();
    if (std::find(managers.begin(), managers.end(), this) == managers.end())
        managers.push_back(this);
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_szInitWindowSize = SIZE{cx, cy};
    if (!m_pRoot && m_hWndPaint)
        ::SetWindowPos(m_hWndPaint, nullptr, 0, 0, Scale(cx), Scale(cy), SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

void CPaintManagerUI::SetWindowAttribute(const wchar_t* name, const wchar_t* value) {
    const std::wstring n = name;
    if (n == L"size") {
        SkinSize s = ParseSize(value);
        SetInitSize(s.cx, s.cy);
    } else if (n == L"sizebox") {
        SkinRect r = ParseRect(value);
        SetSizeBox(RECT{r.left, r.top, r.right, r.bottom});
    } else if (n == L"caption") {
        SkinRect r = ParseRect(value);
        SetCaptionRect(RECT{r.left, r.top, r.right, r.bottom});
    } else if (n == L"roundcorner") {
        SkinSize s = ParseSize(value);
        SetRoundCorner(s.cx, s.cy);
    } else if (n == L"mininfo") {
        SkinSize s = ParseSize(value);
        SetMinInfo(s.cx, s.cy);
    } else if (n == L"maxinfo") {
        SkinSize s = ParseSize(value);
        SetMaxInfo(s.cx, s.cy);
    } else if (n == L"defaultfontcolor") {
        SetDefaultFontColor(ParseColor(value));
    } else if (n == L"disabledfontcolor") {
        SetDefaultDisabledColor(ParseColor(value));
    }
    // Layered-window, tray, shadow and link-colour attributes are accepted and ignored.
}

void CPaintManagerUI::MeasureFont(TFontInfo& info) {
    if (!m_hDcMeasure || !info.hFont)
        return;
    HGDIOBJ old = ::SelectObject(m_hDcMeasure, info.hFont);
    ::GetTextMetricsW(m_hDcMeasure, &info.tm);
    ::SelectObject(m_hDcMeasure, old);
}

bool CPaintManagerUI::CreateFontInfo(const std::wstring& face, int size, bool bold, bool underline, bool italic,
                                     bool clearType, TFontInfo& out) {
    LOGFONTW lf{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    // Created at the scaled height: the text is drawn at the display's
    // resolution, never stretched.
    lf.lfHeight = -Scale(size);
    if (bold)
        lf.lfWeight += FW_BOLD;
    lf.lfUnderline = underline ? TRUE : FALSE;
    lf.lfItalic = italic ? TRUE : FALSE;
    if (clearType)
        lf.lfQuality = CLEARTYPE_QUALITY;
    HFONT font = ::CreateFontIndirectW(&lf);
    if (!font)
        return false;
    out = TFontInfo{};
    out.hFont = font;
    out.sFontName = face;
    out.iSize = size;
    out.bBold = bold;
    out.bUnderline = underline;
    out.bItalic = italic;
    MeasureFont(out);
    return true;
}

bool CPaintManagerUI::AddFont(const std::wstring& face, int size, bool bold, bool underline, bool italic) {
    TFontInfo info;
    if (!CreateFontInfo(face, size, bold, underline, italic, true, info))
        return false;
    m_fonts.push_back(info);
    return true;
}

void CPaintManagerUI::SetDefaultFont(const std::wstring& face, int size, bool bold, bool underline, bool italic) {
    TFontInfo info;
    if (!CreateFontInfo(face, size, bold, underline, italic, false, info))
        return;
    if (m_ownsDefaultFont)
        ::DeleteObject(m_defaultFont.hFont);
    m_defaultFont = info;
    m_ownsDefaultFont = true;
}

HFONT CPaintManagerUI::GetDefaultFont() {
    return m_defaultFont.hFont;
}
const TFontInfo& CPaintManagerUI::GetDefaultFontInfo() {
    return m_defaultFont;
}

HFONT CPaintManagerUI::GetFont(int index) {
    return GetFontInfo(index).hFont;
}

const TFontInfo& CPaintManagerUI::GetFontInfo(int index) {
    if (index < 0 || index >= static_cast<int>(m_fonts.size()))
        return m_defaultFont;
    return m_fonts[index];
}

void CPaintManagerUI::AddDefaultAttributeList(const std::wstring& controlName, const std::wstring& list) {
    m_defaultAttributes[controlName] = list;
}

const std::wstring* CPaintManagerUI::GetDefaultAttributeList(const std::wstring& controlName) const {
    auto it = m_defaultAttributes.find(controlName);
    return it == m_defaultAttributes.end() ? nullptr : &it->second;
}

const TImageInfo* CPaintManagerUI::GetImageEx(const std::wstring& name, const std::wstring& type, DWORD mask) {
    auto it = m_images.find(ImageKey(name));
    if (it != m_images.end())
        return it->second.get();
    return AddImage(name, type, mask);
}

const TImageInfo* CPaintManagerUI::AddImage(const std::wstring& name, const std::wstring& type, DWORD mask) {
    if (name.empty())
        return nullptr;
    ++m_imageDecodes;
    std::unique_ptr<TImageInfo> image =
        LoadSkinImage(name.c_str(), type.empty() ? nullptr : type.c_str(), mask, nullptr, m_dpi);
    if (!image)
        return nullptr;
    const TImageInfo* result = image.get();
    m_images[ImageKey(name)] = std::move(image);
    return result;
}

std::wstring CPaintManagerUI::ImageKey(const std::wstring& name) const {
    // Each scale has its own copies: a window moved back to another monitor
    // finds them again.
    return m_dpi == kBaseDpi ? name : name + L"|" + std::to_wstring(m_dpi);
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    if (!root)
        return false;
    if (m_pRoot)
        ReapObjects(m_pRoot.get());
    m_pFocus = m_pEventHover = m_pEventClick = m_pEventKey = nullptr;
    m_nameMap.clear();
    m_pRoot.reset(root);
    m_bUpdateNeeded = true;
    m_bFirstLayout = true;
    return InitControls(root);
}

bool CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
    if (!control)
        return false;
    control->SetManager(this, parent ? parent : control->GetParent(), true);
    NameCollector collector{&m_nameMap};
    control->FindControl(CollectName, &collector, UIFIND_ALL);
    return true;
}

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT timerId, UINT elapse) {
    if (!control || !m_hWndPaint)
        return false;
    for (TimerInfo& t : m_timers) {
        if (t.sender == control && t.localId == timerId)
            return ::SetTimer(m_hWndPaint, t.windowId, elapse, nullptr) != 0;
    }
    // Window timer ids of their own, apart from the ones the window itself uses.
    const UINT_PTR windowId = m_nextTimerId++;
    if (!::SetTimer(m_hWndPaint, windowId, elapse, nullptr))
        return false;
    m_timers.push_back(TimerInfo{control, timerId, windowId});
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT timerId) {
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->sender == control && it->localId == timerId) {
            if (m_hWndPaint)
                ::KillTimer(m_hWndPaint, it->windowId);
            m_timers.erase(it);
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::KillTimers(CControlUI* control) {
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->sender == control) {
            if (m_hWndPaint)
                ::KillTimer(m_hWndPaint, it->windowId);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
    KillTimers(control);
    if (m_pFocus == control)
        m_pFocus = nullptr;
    if (m_pEventHover == control)
        m_pEventHover = nullptr;
    if (m_pEventClick == control)
        m_pEventClick = nullptr;
    if (m_pEventKey == control)
        m_pEventKey = nullptr;
    if (m_pToolTipOwner == control)
        HideToolTip();
    if (!control->GetName().empty()) {
        auto it = m_nameMap.find(control->GetName());
        if (it != m_nameMap.end() && it->second == control)
            m_nameMap.erase(it);
    }
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    if (!m_pRoot)
        return nullptr;
    CControlUI* found =
        m_pRoot->FindControl(FindControlFromPoint, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
    return found && found->GetManager() == this ? found : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(const std::wstring& name) const {
    auto it = m_nameMap.find(name);
    return it == m_nameMap.end() ? nullptr : it->second;
}

TEventUI CPaintManagerUI::MakeEvent(int type, CControlUI* sender, POINT pt, WPARAM wParam, LPARAM lParam) const {
    TEventUI e;
    e.Type = type;
    e.pSender = sender;
    e.dwTimestamp = ::GetTickCount();
    e.ptMouse = pt;
    e.wParam = wParam;
    e.lParam = lParam;
    return e;
}

void CPaintManagerUI::SetFocus(CControlUI* control) {
    if (control == m_pFocus)
        return;
    if (m_pFocus) {
        CControlUI* old = m_pFocus;
        m_pFocus = nullptr;
        TEventUI e = MakeEvent(UIEVENT_KILLFOCUS, control, m_ptLastMousePos, 0, 0);
        old->Event(e);
        SendNotify(old, L"killfocus");
    }
    if (control && control->GetManager() == this && control->IsVisible() && control->IsEnabled()) {
        m_pFocus = control;
        TEventUI e = MakeEvent(UIEVENT_SETFOCUS, control, m_ptLastMousePos, 0, 0);
        control->Event(e);
        SendNotify(control, L"setfocus");
    }
}

bool CPaintManagerUI::SetNextTabControl(bool forward) {
    if (!m_pRoot)
        return false;
    if (IsLayoutPending()) {
        // The order depends on visibility after layout: move after the next paint.
        m_bPendingTab = true;
        m_bPendingTabForward = forward;
        if (m_hWndPaint)
            ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
        return true;
    }
    std::vector<CControlUI*> all;
    m_pRoot->FindControl(CollectControl, &all, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
    std::vector<CControlUI*> order;
    for (CControlUI* c : all) {
        if (c->AcceptsTabFocus())
            order.push_back(c);
    }
    if (order.empty())
        return true;
    auto it = std::find(order.begin(), order.end(), m_pFocus);
    size_t next;
    if (it == order.end())
        next = forward ? 0 : order.size() - 1;
    else {
        const size_t at = static_cast<size_t>(it - order.begin());
        next = forward ? (at + 1) % order.size() : (at + order.size() - 1) % order.size();
    }
    SetFocus(order[next]);
    return true;
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
    if (m_hWndPaint)
        ::InvalidateRect(m_hWndPaint, &rc, FALSE);
}

void CPaintManagerUI::SendNotify(CControlUI* control, const std::wstring& type, WPARAM wParam, LPARAM lParam) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = control;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg);
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg) {
    msg.ptMouse = m_ptLastMousePos;
    for (CControlUI* c = msg.pSender; c && msg.sVirtualWnd.empty(); c = c->GetParent())
        msg.sVirtualWnd = c->GetVirtualWnd();
    msg.dwTimestamp = ::GetTickCount();
    if (msg.pSender && !msg.pSender->DispatchToListeners(msg))
        return;
    // By index: a notifier may register or remove notifiers while it runs.
    for (size_t i = 0; i < m_notifiers.size(); ++i)
        m_notifiers[i]->OnNotify(msg);
}

namespace {

template <typename T> bool AddUnique(std::vector<T*>& list, T* item) {
    if (!item || std::find(list.begin(), list.end(), item) != list.end())
        return false;
    list.push_back(item);
    return true;
}

template <typename T> bool RemoveItem(std::vector<T*>& list, T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

} // namespace

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    return AddUnique(m_notifiers, notifier);
}
bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    return RemoveItem(m_notifiers, notifier);
}
bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) {
    return AddUnique(m_preMessageFilters, filter);
}
bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) {
    return RemoveItem(m_preMessageFilters, filter);
}
bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) {
    return AddUnique(m_messageFilters, filter);
}
bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) {
    return RemoveItem(m_messageFilters, filter);
}
bool CPaintManagerUI::AddTranslateAccelerator(ITranslateAccelerator* translator) {
    return AddUnique(m_translators, translator);
}
bool CPaintManagerUI::RemoveTranslateAccelerator(ITranslateAccelerator* translator) {
    return RemoveItem(m_translators, translator);
}

bool CPaintManagerUI::TranslateAccelerator(MSG* msg) {
    for (ITranslateAccelerator* t : m_translators) {
        if (t->TranslateAccelerator(msg) == S_OK)
            return true;
    }
    return false;
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    for (size_t i = 0; i < m_preMessageFilters.size(); ++i) {
        bool handled = false;
        LRESULT r = m_preMessageFilters[i]->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            result = r;
            return true;
        }
    }
    switch (uMsg) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB)
            return HandleTabKey(::GetKeyState(VK_SHIFT) < 0);
        break;
    case WM_SYSCHAR:
        return HandleShortcut(static_cast<wchar_t>(wParam));
    case WM_SYSKEYDOWN:
        if (m_pFocus) {
            TEventUI e = MakeEvent(UIEVENT_SYSKEY, m_pFocus, m_ptLastMousePos, wParam, lParam);
            e.chKey = static_cast<wchar_t>(wParam);
            e.wKeyState = 0;
            m_pFocus->Event(e);
        }
        break;
    default:
        break;
    }
    return false;
}

bool CPaintManagerUI::HandleTabKey(bool shift) {
    return SetNextTabControl(!shift);
}

bool CPaintManagerUI::HandleShortcut(wchar_t ch) {
    if (!m_pRoot)
        return false;
    const wchar_t wanted = static_cast<wchar_t>(towupper(ch));
    std::vector<CControlUI*> all;
    m_pRoot->FindControl(CollectControl, &all, UIFIND_ENABLED | UIFIND_ME_FIRST);
    for (CControlUI* c : all) {
        if (c->GetShortcut() != 0 && towupper(c->GetShortcut()) == wanted && c->IsEnabled()) {
            SetFocus(c);
            c->Activate();
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::TrackMouse(bool hover) {
    TRACKMOUSEEVENT tme{sizeof(tme), static_cast<DWORD>(TME_LEAVE | (hover ? TME_HOVER : 0)), m_hWndPaint,
                        HOVER_DEFAULT};
    m_bMouseTracking = ::TrackMouseEvent(&tme) != FALSE;
}

void CPaintManagerUI::ShowToolTip(CControlUI* control, POINT pt) {
    if (!control || control->GetToolTip().empty())
        return;
    if (!m_hwndToolTip) {
        m_hwndToolTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                          WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                          CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint, nullptr, g_instance, nullptr);
        if (!m_hwndToolTip)
            return;
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_TRACK | TTF_ABSOLUTE;
        ti.hwnd = m_hWndPaint;
        ti.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(m_hwndToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        // A long path wraps rather than running off the screen.
        ::SendMessageW(m_hwndToolTip, TTM_SETMAXTIPWIDTH, 0, ::GetSystemMetrics(SM_CXSCREEN) / 2);
    }
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = m_hWndPaint;
    ti.lpszText = const_cast<wchar_t*>(control->GetToolTip().c_str());
    ::SendMessageW(m_hwndToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    // Below the pointer, clear of the cursor's own image.
    POINT at{pt.x, pt.y + ::GetSystemMetrics(SM_CYCURSOR) / 2 + 4};
    ::ClientToScreen(m_hWndPaint, &at);
    ::SendMessageW(m_hwndToolTip, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    ::SendMessageW(m_hwndToolTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    m_pToolTipOwner = control;
}

void CPaintManagerUI::HideToolTip() {
    if (m_hwndToolTip && m_pToolTipOwner) {
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.hwnd = m_hWndPaint;
        ::SendMessageW(m_hwndToolTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
    }
    m_pToolTipOwner = nullptr;
}

void CPaintManagerUI::SetHover(CControlUI* control, const TEventUI& base) {
    if (control == m_pEventHover)
        return;
    HideToolTip();
    // Hovering is reported once per tracking: ask again for the new control.
    if (m_hWndPaint && control)
        TrackMouse(true);
    if (m_pEventHover) {
        TEventUI e = base;
        e.Type = UIEVENT_MOUSELEAVE;
        e.pSender = m_pEventHover;
        CControlUI* old = m_pEventHover;
        m_pEventHover = nullptr;
        old->Event(e);
    }
    m_pEventHover = control;
    if (control) {
        TEventUI e = base;
        e.Type = UIEVENT_MOUSEENTER;
        e.pSender = control;
        control->Event(e);
    }
}

void CPaintManagerUI::UpdateLayout() {
    if (!m_pRoot || !m_hWndPaint || (!m_bUpdateNeeded && !m_bFirstLayout))
        return;
    RECT client{};
    ::GetClientRect(m_hWndPaint, &client);
    if (::IsIconic(m_hWndPaint) || ::IsRectEmpty(&client))
        return;
    LayoutTo(client);
}

void CPaintManagerUI::LayoutTo(const RECT& client) {
    if (!m_pRoot)
        return;
    m_bUpdateNeeded = false;
    if (m_pRoot->IsUpdateNeeded()) {
        m_pRoot->SetPos(client, false);
    } else {
        std::vector<CControlUI*> all;
        m_pRoot->FindControl(CollectControl, &all, UIFIND_VISIBLE | UIFIND_ME_FIRST);
        // A floating control is placed again from its offset and fixed size:
        // its current rectangle is stale when it was resized, or empty when it
        // was hidden at the last layout.
        for (CControlUI* c : all) {
            if (c->IsUpdateNeeded())
                c->SetPos(c->IsFloat() ? c->GetFloatRect() : c->GetPos(), true);
        }
    }
    if (m_bFirstLayout) {
        m_bFirstLayout = false;
        SendNotify(m_pRoot.get(), L"windowinit");
    }
}

void CPaintManagerUI::PaintTo(HDC hdc, const RECT& rcPaint) {
    if (m_pRoot)
        m_pRoot->DoPaint(hdc, rcPaint);
}

void CPaintManagerUI::MarkCreateStart() {
    ::QueryPerformanceCounter(&m_createStart);
    m_firstPaintMs = -1;
}

void CPaintManagerUI::OnPaint() {
    UpdateLayout();
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(m_hWndPaint, &ps);
    RECT client{};
    ::GetClientRect(m_hWndPaint, &client);
    const int width = client.right - client.left, height = client.bottom - client.top;
    if (m_pRoot && width > 0 && height > 0 && !::IsRectEmpty(&ps.rcPaint)) {
        // Off-screen first, then one copy: no flicker between layers.
        HDC mem = ::CreateCompatibleDC(dc);
        HBITMAP bitmap = ::CreateCompatibleBitmap(dc, width, height);
        if (mem && bitmap) {
            HGDIOBJ old = ::SelectObject(mem, bitmap);
            ::FillRect(mem, &ps.rcPaint, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
            ::IntersectClipRect(mem, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
            PaintTo(mem, ps.rcPaint);
            ::BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                     ps.rcPaint.bottom - ps.rcPaint.top, mem, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
            ::SelectObject(mem, old);
        } else {
            PaintTo(dc, ps.rcPaint);
        }
        if (bitmap)
            ::DeleteObject(bitmap);
        if (mem)
            ::DeleteDC(mem);
    }
    ::EndPaint(m_hWndPaint, &ps);
    if (m_firstPaintMs < 0 && m_createStart.QuadPart != 0 && m_pRoot) {
        LARGE_INTEGER now{}, freq{};
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&freq);
        m_firstPaintMs =
            1000.0 * static_cast<double>(now.QuadPart - m_createStart.QuadPart) / static_cast<double>(freq.QuadPart);
    }
    // Only once the layout is done: while minimised or without a client area
    // the move waits for the next real layout instead of asking for paints.
    if (m_bPendingTab && !IsLayoutPending()) {
        m_bPendingTab = false;
        SetNextTabControl(m_bPendingTabForward);
    }
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!m_hWndPaint)
        return false;
    for (size_t i = 0; i < m_messageFilters.size(); ++i) {
        bool handled = false;
        LRESULT r = m_messageFilters[i]->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            result = r;
            return true;
        }
    }
    result = 0;
    switch (uMsg) {
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_PRINTCLIENT: {
        UpdateLayout();
        RECT client{};
        ::GetClientRect(m_hWndPaint, &client);
        PaintTo(reinterpret_cast<HDC>(wParam), client);
        return true;
    }
    case WM_SIZE:
        if (m_pFocus) {
            TEventUI e = MakeEvent(UIEVENT_WINDOWSIZE, m_pFocus, m_ptLastMousePos, wParam, lParam);
            m_pFocus->Event(e);
        }
        if (m_pRoot)
            m_pRoot->NeedUpdate();
        m_bUpdateNeeded = true;
        // Everything may move: repaint the whole client area, not only what was exposed.
        ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
        return false;
    case WM_TIMER:
        for (const TimerInfo& t : m_timers) {
            if (t.windowId == wParam) {
                TEventUI e = MakeEvent(UIEVENT_TIMER, t.sender, m_ptLastMousePos, t.localId, lParam);
                t.sender->Event(e);
                return true;
            }
        }
        return false;
    case WM_MOUSEMOVE: {
        if (!m_bMouseTracking)
            TrackMouse(true);
        const POINT pt = PointFromLParam(lParam);
        m_ptLastMousePos = pt;
        CControlUI* control = FindControl(pt);
        const TEventUI base = MakeEvent(UIEVENT_MOUSEMOVE, control, pt, wParam, lParam);
        SetHover(control, base);
        CControlUI* target = m_pEventClick ? m_pEventClick : control;
        if (target) {
            TEventUI e = base;
            e.pSender = target;
            target->Event(e);
        }
        return false;
    }
    case WM_MOUSEHOVER:
        if (!m_pEventClick)
            ShowToolTip(FindControl(PointFromLParam(lParam)), PointFromLParam(lParam));
        return false;
    case WM_MOUSELEAVE:
        m_bMouseTracking = false;
        HideToolTip();
        if (!m_pEventClick)
            SetHover(nullptr, MakeEvent(UIEVENT_MOUSELEAVE, nullptr, m_ptLastMousePos, 0, 0));
        return false;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
        if (::GetFocus() != m_hWndPaint)
            ::SetFocus(m_hWndPaint);
        const POINT pt = PointFromLParam(lParam);
        m_ptLastMousePos = pt;
        CControlUI* control = FindControl(pt);
        if (!control)
            return false;
        // Only a control Tab could reach takes the focus from a click: the
        // focus is never on something that shows no mark and answers no key.
        if (control->AcceptsTabFocus())
            SetFocus(control);
        m_pEventClick = control;
        ::SetCapture(m_hWndPaint);
        const int type = uMsg == WM_LBUTTONDOWN     ? UIEVENT_BUTTONDOWN
                         : uMsg == WM_LBUTTONDBLCLK ? UIEVENT_DBLCLICK
                                                    : UIEVENT_RBUTTONDOWN;
        TEventUI e = MakeEvent(type, control, pt, wParam, lParam);
        e.wKeyState = static_cast<WORD>(wParam);
        control->Event(e);
        return false;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        const POINT pt = PointFromLParam(lParam);
        m_ptLastMousePos = pt;
        CControlUI* clicked = m_pEventClick;
        // Cleared before releasing: the capture change must not end the click.
        m_pEventClick = nullptr;
        if (::GetCapture() == m_hWndPaint)
            ::ReleaseCapture();
        if (!clicked || uMsg == WM_RBUTTONUP)
            return false;
        TEventUI e = MakeEvent(UIEVENT_BUTTONUP, clicked, pt, wParam, lParam);
        e.wKeyState = static_cast<WORD>(wParam);
        clicked->Event(e);
        return false;
    }
    case WM_CAPTURECHANGED:
        if (m_pEventClick && reinterpret_cast<HWND>(lParam) != m_hWndPaint) {
            // Capture taken away mid-press: end the press without a click.
            CControlUI* clicked = m_pEventClick;
            m_pEventClick = nullptr;
            TEventUI e = MakeEvent(UIEVENT_BUTTONUP, clicked, POINT{-32768, -32768}, 0, 0);
            clicked->Event(e);
        }
        return false;
    case WM_CONTEXTMENU: {
        POINT pt = PointFromLParam(lParam);
        ::ScreenToClient(m_hWndPaint, &pt);
        CControlUI* control = FindControl(pt);
        if (!control)
            return false;
        TEventUI e = MakeEvent(UIEVENT_CONTEXTMENU, control, pt, wParam, reinterpret_cast<LPARAM>(control));
        control->Event(e);
        return false;
    }
    case WM_SETCURSOR: {
        if (reinterpret_cast<HWND>(wParam) != m_hWndPaint || LOWORD(lParam) != HTCLIENT)
            return false;
        if (m_pEventClick) {
            result = TRUE;
            return true;
        }
        POINT pt{};
        ::GetCursorPos(&pt);
        ::ScreenToClient(m_hWndPaint, &pt);
        CControlUI* control = FindControl(pt);
        if (!control || !control->IsEnabled())
            return false;
        TEventUI e = MakeEvent(UIEVENT_SETCURSOR, control, pt, wParam, lParam);
        control->Event(e);
        result = TRUE;
        return true;
    }
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_KEYUP: {
        CControlUI* target = uMsg == WM_KEYUP ? (m_pEventKey ? m_pEventKey : m_pFocus) : m_pFocus;
        if (!target)
            return false;
        const int type = uMsg == WM_KEYDOWN ? UIEVENT_KEYDOWN : uMsg == WM_CHAR ? UIEVENT_CHAR : UIEVENT_KEYUP;
        TEventUI e = MakeEvent(type, target, m_ptLastMousePos, wParam, lParam);
        e.chKey = static_cast<wchar_t>(wParam);
        if (uMsg == WM_KEYDOWN)
            m_pEventKey = target;
        else if (uMsg == WM_KEYUP)
            m_pEventKey = nullptr;
        target->Event(e);
        return false;
    }
    case WM_COMMAND: {
        HWND child = reinterpret_cast<HWND>(lParam);
        if (!child || ::GetParent(child) != m_hWndPaint)
            return false;
        ::SendMessageW(child, kReflectBase + uMsg, wParam, lParam);
        return true;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        HWND child = reinterpret_cast<HWND>(lParam);
        if (!child || ::GetParent(child) != m_hWndPaint)
            return false;
        result = ::SendMessageW(child, kReflectBase + uMsg, wParam, lParam);
        return result != 0;
    }
    default:
        return false;
    }
}

} // namespace SkinKit
