// A skinned top-level window: loads the skin, builds its markup into the
// paint manager's control tree, behaves like a framed window without a frame
// (caption dragging, size box, maximising to the work area, rounded corners)
// and delivers control notifications to itself.
#pragma once

#include "DialogBuilder.h"
#include "NotifyPump.h"
#include "PaintManagerUI.h"
#include "UIEvents.h"
#include "WindowWnd.h"

#include <string>

namespace SkinKit {

// Where WM_CREATE finds the skin.
enum SkinSource {
    SkinSourceFolder = 1,      // markup file in the resource folder
    SkinSourceArchiveFile = 2, // ZIP archive file SkinArchiveName in the resource folder
    SkinSourceResourceXml = 3, // markup resource of type "xml", id = text of SkinFileName
    SkinSourceResourceZip = 4, // ZIP archive resource of type "ZIPRES", id SkinResourceId
};

// Sees messages offered to every skinned window; answering false claims one.
class IMessageObserver {
public:
    virtual bool OnWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, DWORD time) = 0;

protected:
    ~IMessageObserver() = default;
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    WindowImplBase();
    ~WindowImplBase() override;

    virtual std::wstring SkinFileName();
    virtual CPaintManagerUI* GetPaintManager();
    virtual void OnButtonClick(TNotifyUI& msg);
    virtual void OnWindowReady();
    virtual int SkinSourceKind() const;
    virtual std::wstring SkinArchiveName();
    virtual const wchar_t* SkinResourceId();

    virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseHover(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnChar(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    // WM_DPICHANGED: new dpi in wParam, the suggested window rectangle in lParam.
    virtual LRESULT OnDpiChanged(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    static constexpr UINT kDpiChangedMessage = 0x02E0; // WM_DPICHANGED, missing from older SDK headers
    virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LONG WindowStyle() const;
    virtual std::wstring SkinFolder();

    // INotifyUI: dispatches through the notification maps.
    void OnNotify(TNotifyUI& msg) override;
    // IMessageFilterUI: sees messages before dispatch but claims none.
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    // IDialogBuilderCallback: this host creates no extra control classes.
    CControlUI* CreateControl(const wchar_t* className) override;

    const NotifyMap* GetNotifyMap() const override;

    static void AddMessageObserver(IMessageObserver* observer);
    static void RemoveMessageObserver(IMessageObserver* observer);

protected:
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND hWnd) override;

    CPaintManagerUI m_PaintManager;
    std::wstring m_skinFile;
};

} // namespace SkinKit
