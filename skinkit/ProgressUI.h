// A bar whose fore image covers the part of the track that the value fills.
#pragma once

#include "LabelUI.h"

namespace SkinKit {

class CProgressUI : public CLabelUI {
public:
    CProgressUI();

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    bool IsHorizontal() const { return m_bHorizontal; }
    void SetHorizontal(bool horizontal = true);
    int GetMinValue() const { return m_nMin; }
    void SetMinValue(int value);
    int GetMaxValue() const { return m_nMax; }
    void SetMaxValue(int value);
    int GetValue() const { return m_nValue; }
    void SetValue(int value);
    const std::wstring& GetForeImage() const { return m_sForeImage; }

    // The filled rectangle relative to the item, after range correction.
    RECT GetFillRect() const;

    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStatusImage(HDC hDC) override;

private:
    bool m_bHorizontal = true;
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nValue = 0;
    bool m_bStretchForeImage = true;
    std::wstring m_sForeImage;
};

} // namespace SkinKit
