// A label that reacts to the mouse and the keyboard: hot while the pointer is
// over it, pushed while pressed, and "click" when released over itself.
#pragma once

#include "LabelUI.h"

namespace SkinKit {

enum ButtonState : UINT {
    UISTATE_FOCUSED = 0x01,
    UISTATE_DISABLED = 0x04,
    UISTATE_HOT = 0x08,
    UISTATE_PUSHED = 0x10,
    UISTATE_CAPTURED = 0x40,
};

class CButtonUI : public CLabelUI {
public:
    CButtonUI();

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    UINT GetButtonState() const { return m_uButtonState; }
    bool Activate() override;
    bool AcceptsTabFocus() const override { return m_bTabStop && IsEnabled() && IsKeyboardEnabled() && IsVisible(); }
    void SetEnabled(bool enabled = true) override;

    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

protected:
    UINT m_uButtonState = 0;
    std::wstring m_sNormalImage, m_sHotImage, m_sPushedImage, m_sFocusedImage, m_sDisabledImage;
    std::wstring m_sForeImage, m_sHotForeImage;
    DWORD m_dwHotBkColor = 0;
    DWORD m_dwHotTextColor = 0, m_dwPushedTextColor = 0, m_dwFocusedTextColor = 0;
    bool m_bMenuUsed = false;
};

} // namespace SkinKit
