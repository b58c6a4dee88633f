// A control that owns an ordered list of child controls, with an inset, a gap
// between children and the scroll bars a layout may show.
#pragma once

#include "ControlUI.h"

#include <memory>
#include <vector>

namespace SkinKit {

class CScrollBarUI;

// The child-list interface, answered for "IContainer".
class IContainerUI {
public:
    virtual CControlUI* GetItemAt(int index) const = 0;
    virtual int GetItemIndex(CControlUI* control) const = 0;
    virtual int GetCount() const = 0;
    // Takes ownership; false (and the control is not kept) when it cannot be added.
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    // Destroys the control.
    virtual bool Remove(CControlUI* control) = 0;
    virtual void RemoveAll() = 0;

protected:
    ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI();
    ~CContainerUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    int GetCount() const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;

    RECT GetInset() const { return m_rcInset; }
    void SetInset(RECT rc);
    int GetChildPadding() const { return m_iChildPadding; }
    void SetChildPadding(int padding);
    bool IsMouseChildEnabled() const { return m_bMouseChildEnabled; }

    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    CControlUI* FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;
    void DoEvent(TEventUI& event) override;

    // Scroll bars are made on demand and styled by the "VScrollBar" and
    // "HScrollBar" default attribute lists.
    void EnableScrollBar(bool vertical, bool horizontal);
    CScrollBarUI* GetVerticalScrollBar() const { return m_pVerticalScrollBar.get(); }
    CScrollBarUI* GetHorizontalScrollBar() const { return m_pHorizontalScrollBar.get(); }

protected:
    // Item rectangle less inset and visible scroll bars.
    RECT LayoutRect() const;
    // Places floating children (by their offsets) and hides nothing.
    void SetFloatPos(int index);
    void ProcessScrollBar(RECT rc, int cxRequired, int cyRequired);
    // Creates the bar (hidden, with its default attribute list) or removes it.
    void SetScrollBarPresent(std::unique_ptr<CScrollBarUI>& bar, bool present, bool horizontal);
    // Lays the children out one after another along one axis inside inner and
    // returns the extent they need along that axis (for the scroll bar).
    int ArrangeItems(RECT inner, bool vertical);

    std::vector<std::unique_ptr<CControlUI>> m_items;
    RECT m_rcInset{0, 0, 0, 0};
    int m_iChildPadding = 0;
    bool m_bMouseChildEnabled = true;
    bool m_bRelayout = false;
    std::unique_ptr<CScrollBarUI> m_pVerticalScrollBar;
    std::unique_ptr<CScrollBarUI> m_pHorizontalScrollBar;
};

} // namespace SkinKit
