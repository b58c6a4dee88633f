// The per-window object that owns a control tree and the window's drawing
// resources (fonts, images, default attribute lists) and turns window messages
// into layout, painting, mouse, focus and keyboard events for the controls.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ControlUI.h"
#include "UIEvents.h"

namespace SkinKit {

struct TImageInfo;

struct TFontInfo {
    HFONT hFont = nullptr;
    std::wstring sFontName;
    int iSize = 0;
    bool bBold = false, bUnderline = false, bItalic = false;
    TEXTMETRICW tm{};
};

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Process-wide settings.
    static HINSTANCE GetInstance();
    static void SetInstance(HINSTANCE instance);
    static HINSTANCE GetResourceInstance();
    static void SetResourceInstance(HINSTANCE instance);
    // Folder of the running program, with a trailing backslash.
    static std::wstring GetInstancePath();
    static std::wstring GetResourcePath();
    static void SetResourcePath(const std::wstring& path);
    // The skin archive: a file in the resource folder, or a buffer the caller keeps alive.
    static void SetResourceZip(const std::wstring& archiveName, bool cached = true);
    static void SetResourceZip(const void* data, size_t size);
    // Runs the message loop of the thread until WM_QUIT.
    static void MessageLoop();
    // The toolkit's pre-dispatch step; true when the message was claimed.
    static bool TranslateMessage(const MSG* msg);

    // Takes the window's dpi (see DpiOfWindow).
    void Init(HWND hWnd);
    // The dpi the window is drawn at: markup lengths are scaled by dpi / 96.
    int GetDpi() const { return m_dpi; }
    int Scale(int length) const;
    // Re-creates the fonts at the new scale and lays the tree out again;
    // images are taken from the cache of that scale.
    void SetDpi(int dpi);
    // The window's dpi where the system tells it per window, else the screen's.
    static int DpiOfWindow(HWND hWnd);
    // For a program without a manifest that says so: declares per-monitor dpi
    // awareness (v2 where the system has it, else system-wide awareness)
    // before its first window.
    static void DeclareDpiAwareness();
    HWND GetPaintWindow() const { return m_hWndPaint; }
    HDC GetPaintDC() const { return m_hDcMeasure; }
    POINT GetMousePos() const { return m_ptLastMousePos; }

    // Window attributes from the markup: set in markup units, read in pixels
    // at the window's dpi.
    SIZE GetInitSize() const { return ScaleSize(m_szInitWindowSize); }
    void SetInitSize(int cx, int cy);
    RECT GetSizeBox() const { return ScaleRect(m_rcSizeBox); }
    void SetSizeBox(RECT rc) { m_rcSizeBox = rc; }
    RECT GetCaptionRect() const { return ScaleRect(m_rcCaption); }
    void SetCaptionRect(RECT rc) { m_rcCaption = rc; }
    SIZE GetRoundCorner() const { return ScaleSize(m_szRoundCorner); }
    void SetRoundCorner(int cx, int cy) { m_szRoundCorner = SIZE{cx, cy}; }
    SIZE GetMinInfo() const { return ScaleSize(m_szMinWindow); }
    void SetMinInfo(int cx, int cy) { m_szMinWindow = SIZE{cx, cy}; }
    SIZE GetMaxInfo() const { return ScaleSize(m_szMaxWindow); }
    void SetMaxInfo(int cx, int cy) { m_szMaxWindow = SIZE{cx, cy}; }
    // Applies one attribute of the Window element.
    void SetWindowAttribute(const wchar_t* name, const wchar_t* value);

    DWORD GetDefaultFontColor() const { return m_dwDefaultFontColor; }
    void SetDefaultFontColor(DWORD color) { m_dwDefaultFontColor = color; }
    DWORD GetDefaultDisabledColor() const { return m_dwDefaultDisabledColor; }
    void SetDefaultDisabledColor(DWORD color) { m_dwDefaultDisabledColor = color; }

    // Fonts: index into the markup's list, outside it the default font.
    HFONT GetDefaultFont();
    const TFontInfo& GetDefaultFontInfo();
    void SetDefaultFont(const std::wstring& face, int size, bool bold, bool underline, bool italic);
    // Adds a font to the list; false (and nothing added) when it cannot be created.
    bool AddFont(const std::wstring& face, int size, bool bold, bool underline, bool italic);
    size_t GetFontCount() const { return m_fonts.size(); }
    HFONT GetFont(int index);
    const TFontInfo& GetFontInfo(int index);

    void AddDefaultAttributeList(const std::wstring& controlName, const std::wstring& list);
    const std::wstring* GetDefaultAttributeList(const std::wstring& controlName) const;

    // Image cache: decoded once per name; null when the image cannot be loaded.
    const TImageInfo* GetImageEx(const std::wstring& name, const std::wstring& type = L"", DWORD mask = 0);
    const TImageInfo* AddImage(const std::wstring& name, const std::wstring& type = L"", DWORD mask = 0);
    size_t GetImageDecodeCount() const { return m_imageDecodes; }

    bool AttachDialog(CControlUI* root);
    bool InitControls(CControlUI* control, CControlUI* parent = nullptr);
    // Drops every reference to control (focus, hover, capture, name entry, queued work).
    void ReapObjects(CControlUI* control);
    CControlUI* GetRoot() const { return m_pRoot.get(); }
    CControlUI* FindControl(POINT pt) const;
    CControlUI* FindControl(const std::wstring& name) const;

    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* control);
    bool SetNextTabControl(bool forward = true);

    // Control timers: UIEVENT_TIMER with the control's own id in wParam.
    bool SetTimer(CControlUI* control, UINT timerId, UINT elapse);
    bool KillTimer(CControlUI* control, UINT timerId);
    void KillTimers(CControlUI* control);

    void NeedUpdate() { m_bUpdateNeeded = true; }
    void Invalidate(const RECT& rc);
    bool IsLayoutPending() const { return m_bUpdateNeeded || m_bFirstLayout; }

    void SendNotify(CControlUI* control, const std::wstring& type, WPARAM wParam = 0, LPARAM lParam = 0);
    void SendNotify(TNotifyUI& msg);
    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    bool AddPreMessageFilter(IMessageFilterUI* filter);
    bool RemovePreMessageFilter(IMessageFilterUI* filter);
    bool AddMessageFilter(IMessageFilterUI* filter);
    bool RemoveMessageFilter(IMessageFilterUI* filter);
    bool AddTranslateAccelerator(ITranslateAccelerator* translator);
    bool RemoveTranslateAccelerator(ITranslateAccelerator* translator);

    // Message handling of the window; true when the message was taken.
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool TranslateAccelerator(MSG* msg);

    // Lays out the tree for the client size if anything asked for it.
    void UpdateLayout();
    // Lays out the tree for a client rectangle; "windowinit" follows the first layout.
    void LayoutTo(const RECT& client);
    // Paints the whole tree into hdc for the area rcPaint (used by WM_PAINT).
    void PaintTo(HDC hdc, const RECT& rcPaint);

    // Milliseconds from the start of WM_CREATE to the end of the first paint,
    // or -1 before the first paint; measured from MarkCreateStart.
    void MarkCreateStart();
    double GetFirstPaintMilliseconds() const { return m_firstPaintMs; }

private:
    void SetHover(CControlUI* control, const TEventUI& base);
    TEventUI MakeEvent(int type, CControlUI* sender, POINT pt, WPARAM wParam, LPARAM lParam) const;
    bool HandleTabKey(bool shift);
    bool HandleShortcut(wchar_t ch);
    // Mouse tracking: leave always, hover again after every move to a new control.
    void TrackMouse(bool hover);
    void ShowToolTip(CControlUI* control, POINT pt);
    void HideToolTip();
    void OnPaint();
    bool CreateFontInfo(const std::wstring& face, int size, bool bold, bool underline, bool italic, bool clearType,
                        TFontInfo& out);
    void MeasureFont(TFontInfo& info);
    std::wstring ImageKey(const std::wstring& name) const;
    SIZE ScaleSize(SIZE s) const { return SIZE{Scale(s.cx), Scale(s.cy)}; }
    RECT ScaleRect(const RECT& r) const { return RECT{Scale(r.left), Scale(r.top), Scale(r.right), Scale(r.bottom)}; }

    HWND m_hWndPaint = nullptr;
    int m_dpi = 96;
    HDC m_hDcMeasure = nullptr;
    std::unique_ptr<CControlUI> m_pRoot;
    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
    CControlUI* m_pEventKey = nullptr;
    POINT m_ptLastMousePos{-1, -1};
    bool m_bMouseTracking = false;
    HWND m_hwndToolTip = nullptr; // a child of the window: destroyed with it
    CControlUI* m_pToolTipOwner = nullptr;
    bool m_bUpdateNeeded = false;
    bool m_bFirstLayout = true;
    bool m_bFocusNeeded = false;
    bool m_bPendingTab = false, m_bPendingTabForward = true;
    SIZE m_szInitWindowSize{0, 0};
    RECT m_rcSizeBox{0, 0, 0, 0};
    RECT m_rcCaption{0, 0, 0, 0};
    SIZE m_szRoundCorner{0, 0};
    SIZE m_szMinWindow{0, 0};
    SIZE m_szMaxWindow{0, 0};
    DWORD m_dwDefaultFontColor = 0xFF000001;
    DWORD m_dwDefaultDisabledColor = 0xFFA7A6AA;
    std::vector<TFontInfo> m_fonts;
    TFontInfo m_defaultFont;
    bool m_ownsDefaultFont = false;
    std::map<std::wstring, std::wstring> m_defaultAttributes;
    std::map<std::wstring, std::unique_ptr<TImageInfo>> m_images;
    size_t m_imageDecodes = 0;
    std::unordered_map<std::wstring, CControlUI*> m_nameMap;
    std::vector<INotifyUI*> m_notifiers;
    std::vector<IMessageFilterUI*> m_preMessageFilters;
    std::vector<IMessageFilterUI*> m_messageFilters;
    std::vector<ITranslateAccelerator*> m_translators;
    struct TimerInfo {
        CControlUI* sender;
        UINT localId;
        UINT_PTR windowId;
    };
    std::vector<TimerInfo> m_timers;
    UINT_PTR m_nextTimerId = 0x5000;
    LARGE_INTEGER m_createStart{};
    double m_firstPaintMs = -1;
};

} // namespace SkinKit
