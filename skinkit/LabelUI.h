// A control that shows one line of text in a font of the paint manager.
#pragma once

#include "ControlUI.h"

namespace SkinKit {

class CLabelUI : public CControlUI {
public:
    CLabelUI();

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    UINT GetTextStyle() const { return m_uTextStyle; }
    void SetTextStyle(UINT style);
    DWORD GetTextColor() const { return m_dwTextColor; }
    void SetTextColor(DWORD color);
    DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
    void SetDisabledTextColor(DWORD color);
    int GetFont() const { return m_iFont; }
    void SetFont(int index);
    RECT GetTextPadding() const { return m_rcTextPadding; }
    void SetTextPadding(RECT rc);
    bool IsAutoCalcWidth() const { return m_bAutoCalcWidth; }

    void SetText(const std::wstring& text) override;
    SIZE EstimateSize(SIZE available) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintText(HDC hDC) override;

protected:
    // Colours with the paint manager's defaults filled in for 0.
    DWORD EffectiveTextColor() const;
    DWORD EffectiveDisabledTextColor() const;
    RECT TextRect() const;

    DWORD m_dwTextColor = 0;
    DWORD m_dwDisabledTextColor = 0;
    int m_iFont = -1;
    UINT m_uTextStyle;
    RECT m_rcTextPadding{0, 0, 0, 0};
    bool m_bShowHtml = false;
    bool m_bAutoCalcWidth = false;
};

// Applies the words of an "align" or "valign" value to DrawText style flags.
UINT ApplyAlignWords(UINT style, const wchar_t* value);
UINT ApplyVAlignWords(UINT style, const wchar_t* value);

} // namespace SkinKit
