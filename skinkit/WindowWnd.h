// Owner of one native window: class registration (a class of its own or a
// superclass of an existing one), creation with the object as creation
// parameter, and the window procedure that hands every message to OnMessage.
#pragma once

#include <windows.h>

namespace SkinKit {

class CWindowWnd {
public:
    CWindowWnd();

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    bool RegisterWindowClass();
    bool RegisterSuperclass();

    // Null when registration or creation fails.
    HWND Create(HWND parent, const wchar_t* windowName, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU menu = nullptr);
    HWND Create(HWND parent, const wchar_t* windowName, DWORD style, DWORD exStyle, const RECT& rc,
                HMENU menu = nullptr);
    // Takes over an existing window's procedure until Unsubclass.
    HWND Subclass(HWND hWnd);
    void Unsubclass();

    void ShowWindow(bool show = true, bool takeFocus = true);
    // Centres on the owner window, or on the work area of the nearest monitor,
    // without resizing or activating.
    void CenterWindow();
    void PostClose(UINT code = IDOK);
    void Close(UINT code = IDOK) { PostClose(code); }
    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    void ResizeClient(int cx = -1, int cy = -1);

protected:
    // Overridable behaviour, in this order.
    virtual const wchar_t* WindowClassName() const = 0;
    virtual const wchar_t* SuperclassName() const;
    virtual UINT ClassStyle() const;
    virtual LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    virtual void OnWindowGone(HWND hWnd);

public:
    virtual ~CWindowWnd();

protected:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SuperclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Hands a message to self (or DefWindowProc without one). On WM_NCDESTROY
    // forget drops the link from the window to self.
    static LRESULT Dispatch(CWindowWnd* self, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, void (*forget)(HWND));

    HWND m_hWnd = nullptr;
    WNDPROC m_OldWndProc;
    bool m_bSubclassed = false;
};

} // namespace SkinKit
