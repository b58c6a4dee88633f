// A text field drawn by the skin that opens a native edit window over itself
// while it is being edited.
#pragma once

#include "LabelUI.h"

namespace SkinKit {

class CEditWnd;

class CEditUI : public CLabelUI {
    friend class CEditWnd;

public:
    CEditUI();
    ~CEditUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    void SetText(const std::wstring& text) override;
    void SetEnabled(bool enabled = true) override;
    bool IsReadOnly() const { return m_bReadOnly; }
    void SetReadOnly(bool readOnly);
    bool IsNumberOnly() const { return m_bNumberOnly; }
    bool IsPasswordMode() const { return m_bPasswordMode; }
    wchar_t GetPasswordChar() const { return m_cPasswordChar; }
    int GetMaxChar() const { return m_iMaxChar; }
    const std::wstring& GetTipValue() const { return m_sTipValue; }
    DWORD GetTipValueColor() const { return m_dwTipValueColor; }
    bool IsEditing() const { return m_pWindow != nullptr; }
    bool AcceptsTabFocus() const override { return m_bTabStop && IsEnabled() && IsVisible(); }

    // What the control shows when no native window covers it, and in which colour.
    std::wstring DisplayText() const;
    DWORD DisplayColor() const;

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void SetVisible(bool visible = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

private:
    void OpenNativeWindow();

    CEditWnd* m_pWindow = nullptr;
    bool m_bToolTipIsText = false; // the tooltip shows the text because the field cuts it
    bool m_bReadOnly = false;
    bool m_bNumberOnly = false;
    bool m_bPasswordMode = false;
    wchar_t m_cPasswordChar = L'*';
    int m_iMaxChar = 0; // 0: unlimited
    bool m_bHot = false;
    std::wstring m_sNormalImage, m_sHotImage, m_sFocusedImage, m_sDisabledImage;
    std::wstring m_sTipValue;
    DWORD m_dwTipValueColor = 0xFFBAC0C5;
    DWORD m_dwNativeTextColor = 0;
    DWORD m_dwNativeBkColor = 0;
};

} // namespace SkinKit
