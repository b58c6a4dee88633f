// The base of every control: position, sizes, paddings, visibility and input
// flags, colours, border and background image, and the painting order that
// subclasses fill in (background colour, background image, state image, text,
// border).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "UIEvents.h"

namespace SkinKit {

class CPaintManagerUI;

typedef CControlUI*(CALLBACK* FINDCONTROLPROC)(CControlUI*, LPVOID);

enum FindFlags : UINT {
    UIFIND_ALL = 0x00000000,
    UIFIND_VISIBLE = 0x00000001,
    UIFIND_ENABLED = 0x00000002,
    UIFIND_HITTEST = 0x00000004,
    UIFIND_TOP_FIRST = 0x00000008,
    UIFIND_ME_FIRST = 0x80000000,
};

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual const wchar_t* GetClass() const;
    virtual void* GetInterface(const wchar_t* name);

    const std::wstring& GetName() const { return m_sName; }
    void SetName(const std::wstring& name) { m_sName = name; }
    virtual std::wstring GetText() const { return m_sText; }
    virtual void SetText(const std::wstring& text);
    const std::wstring& GetToolTip() const { return m_sToolTip; }
    void SetToolTip(const std::wstring& text) { m_sToolTip = text; }
    const std::wstring& GetUserData() const { return m_sUserData; }
    // Name of the virtual window whose notification map handles this control's notifications.
    const std::wstring& GetVirtualWnd() const { return m_sVirtualWnd; }
    wchar_t GetShortcut() const { return m_chShortcut; }
    void SetShortcut(wchar_t ch) { m_chShortcut = ch; }

    CPaintManagerUI* GetManager() const { return m_pManager; }
    CControlUI* GetParent() const { return m_pParent; }
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);

    // Position in client coordinates of the window.
    const RECT& GetPos() const { return m_rcItem; }
    virtual void SetPos(RECT rc, bool needInvalidate = true);
    // Where a floating control belongs in its parent's rectangle, from its
    // offset and fixed size; its current rectangle when it has no parent.
    RECT GetFloatRect() const;
    int GetWidth() const { return m_rcItem.right - m_rcItem.left; }
    int GetHeight() const { return m_rcItem.bottom - m_rcItem.top; }

    // Lengths are set as the markup gives them (pixels at 96 dpi) and read in
    // pixels of the window's dpi.
    int Scaled(int length) const;
    RECT Scaled(const RECT& edges) const;
    SIZE GetFixedXY() const;
    void SetFixedXY(SIZE xy);
    int GetFixedWidth() const { return Scaled(m_cxyFixed.cx); }
    virtual void SetFixedWidth(int cx);
    int GetFixedHeight() const { return Scaled(m_cxyFixed.cy); }
    virtual void SetFixedHeight(int cy);
    int GetMinWidth() const { return Scaled(m_cxyMin.cx); }
    void SetMinWidth(int cx);
    int GetMaxWidth() const { return Scaled(m_cxyMax.cx); }
    void SetMaxWidth(int cx);
    int GetMinHeight() const { return Scaled(m_cxyMin.cy); }
    void SetMinHeight(int cy);
    int GetMaxHeight() const { return Scaled(m_cxyMax.cy); }
    void SetMaxHeight(int cy);
    RECT GetPadding() const { return Scaled(m_rcPadding); }
    void SetPadding(RECT rc);
    bool IsFloat() const { return m_bFloat; }
    void SetFloat(bool value);

    virtual bool IsVisible() const { return m_bVisible && m_bInternVisible; }
    virtual void SetVisible(bool visible = true);
    // Visibility imposed by an ancestor, kept apart from the control's own flag.
    virtual void SetInternVisible(bool visible = true);
    virtual bool IsEnabled() const { return m_bEnabled; }
    virtual void SetEnabled(bool enabled = true);
    bool IsMouseEnabled() const { return m_bMouseEnabled; }
    virtual void SetMouseEnabled(bool enabled = true) { m_bMouseEnabled = enabled; }
    bool IsKeyboardEnabled() const { return m_bKeyboardEnabled; }
    virtual void SetKeyboardEnabled(bool enabled = true) { m_bKeyboardEnabled = enabled; }
    virtual bool IsFocused() const { return m_bFocused; }
    virtual void SetFocus();
    // Whether Tab (and a click) may move the focus here.
    virtual bool AcceptsTabFocus() const { return false; }
    bool IsTabStop() const { return m_bTabStop; }

    DWORD GetBkColor() const { return m_dwBackColor; }
    void SetBkColor(DWORD color);
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD color);
    int GetBorderSize() const { return Scaled(m_nBorderSize); }
    void SetBorderSize(int size);
    const std::wstring& GetBkImage() const { return m_sBkImage; }
    void SetBkImage(const std::wstring& image);

    virtual CControlUI* FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags);

    // Raises the "click" of buttons; false when invisible or disabled.
    virtual bool Activate();

    void Invalidate();
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    void NeedUpdate();
    void NeedParentUpdate();
    void ClearUpdateNeeded() { m_bUpdateNeeded = false; }

    virtual void Init();
    virtual void DoInit() {}

    // Entry point for events; mouse events of a control with the mouse
    // disabled go to the parent.
    virtual void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event);

    virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
    // A list of name="value" pairs, as registered by Default elements.
    void ApplyAttributeList(const std::wstring& list);

    virtual SIZE EstimateSize(SIZE available);

    // Paints when rcPaint meets the item rectangle, clipped to it.
    virtual void DoPaint(HDC hDC, const RECT& rcPaint);
    virtual void PaintBkColor(HDC hDC);
    virtual void PaintBkImage(HDC hDC);
    virtual void PaintStatusImage(HDC hDC) {}
    virtual void PaintText(HDC hDC) {}
    virtual void PaintBorder(HDC hDC);
    // The mark of the keyboard focus, in the "focusmark" colour, inside the item's edge.
    virtual void PaintFocusMark(HDC hDC);

    // Listeners see this control's notifications before the window does; a
    // listener answering false consumes the notification.
    using NotifyListener = std::function<bool(TNotifyUI&)>;
    void AddNotifyListener(NotifyListener listener) { m_notifyListeners.push_back(std::move(listener)); }
    bool DispatchToListeners(TNotifyUI& msg);
    using SizeListener = std::function<void(CControlUI*)>;
    void AddSizeListener(SizeListener listener) { m_sizeListeners.push_back(std::move(listener)); }

protected:
    // Draws an image description into the item rectangle; a description that
    // cannot be drawn is cleared so it is not tried again.
    bool DrawImage(HDC hDC, std::wstring& description, const wchar_t* modify = nullptr);

    CPaintManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    std::wstring m_sName, m_sText, m_sToolTip, m_sUserData, m_sVirtualWnd;
    wchar_t m_chShortcut = 0;
    bool m_bUpdateNeeded = true;
    RECT m_rcItem{0, 0, 0, 0};
    RECT m_rcPadding{0, 0, 0, 0};
    SIZE m_cXY{0, 0};
    SIZE m_cxyFixed{0, 0};
    SIZE m_cxyMin{0, 0};
    SIZE m_cxyMax{9999, 9999};
    bool m_bFloat = false;
    bool m_bVisible = true, m_bInternVisible = true;
    bool m_bEnabled = true, m_bMouseEnabled = true, m_bKeyboardEnabled = true;
    bool m_bFocused = false;
    bool m_bTabStop = true;
    DWORD m_dwFocusMarkColor = 0;
    int m_nFocusMarkSize = 2;
    DWORD m_dwBackColor = 0, m_dwBackColor2 = 0, m_dwBackColor3 = 0, m_dwDisabledBkColor = 0;
    DWORD m_dwBorderColor = 0, m_dwFocusBorderColor = 0;
    int m_nBorderSize = 0;
    RECT m_rcBorderSize{0, 0, 0, 0}; // per side, used when any is set
    bool m_bSideBorders = false;
    SIZE m_cxyBorderRound{0, 0};
    std::wstring m_sBkImage;
    std::vector<NotifyListener> m_notifyListeners;
    std::vector<SizeListener> m_sizeListeners;
};

} // namespace SkinKit
