// The native edit window a CEditUI opens over itself while it is edited. It
// copies every change back into the control and closes when it loses the
// keyboard focus; the object deletes itself when its window is gone.
#pragma once

#include "WindowWnd.h"

namespace SkinKit {

class CEditUI;

class CEditWnd : public CWindowWnd {
public:
    CEditWnd();
    ~CEditWnd() override;

    // Creates the window over the owner's text area and gives it the focus.
    bool Init(CEditUI* owner);
    // The owner is going away: forget it and close.
    void DetachOwner();
    RECT TextArea() const;

protected:
    const wchar_t* WindowClassName() const override;
    const wchar_t* SuperclassName() const override;
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND hWnd) override;

private:
    void OnTextChanged();

    CEditUI* m_pOwner = nullptr;
    HBRUSH m_hBkBrush = nullptr;
    bool m_bReady = false; // changes before the initial text is in place are not reported
};

} // namespace SkinKit
