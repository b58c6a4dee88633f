// A container's scroll bar. It carries the part images set by the
// "VScrollBar"/"HScrollBar" default attribute lists and shows the range a
// layout reports; the toolkit's layouts do not scroll their content.
#pragma once

#include "ControlUI.h"

#include <map>
#include <string>

namespace SkinKit {

class CScrollBarUI : public CControlUI {
public:
    explicit CScrollBarUI(bool horizontal);

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    bool IsHorizontal() const { return m_bHorizontal; }
    int GetScrollRange() const { return m_nRange; }
    void SetScrollRange(int range);
    int GetScrollPos() const { return m_nScrollPos; }
    // Image description of a part, e.g. "thumbnormalimage"; empty when not set.
    std::wstring GetPartImage(const std::wstring& attribute) const;

    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintBkImage(HDC hDC) override;
    void PaintStatusImage(HDC hDC) override;

private:
    bool m_bHorizontal;
    int m_nRange = 0;
    int m_nScrollPos = 0;
    std::map<std::wstring, std::wstring> m_partImages;
};

} // namespace SkinKit
