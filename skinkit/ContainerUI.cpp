#include "ContainerUI.h"

#include "LayoutMath.h"
#include "PaintManagerUI.h"
#include "RenderEngine.h"
#include "ScrollBarUI.h"
#include "ValueSyntax.h"

#include <cwchar>

namespace SkinKit {

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    // Children go first, while this container is still whole.
    m_items.clear();
}

const wchar_t* CContainerUI::GetClass() const {
    return L"ContainerUI";
}

void* CContainerUI::GetInterface(const wchar_t* name) {
    if (wcscmp(name, L"IContainer") == 0)
        return static_cast<IContainerUI*>(this);
    if (wcscmp(name, L"Container") == 0)
        return static_cast<CContainerUI*>(this);
    return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= static_cast<int>(m_items.size()))
        return nullptr;
    return m_items[index].get();
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].get() == control)
            return static_cast<int>(i);
    }
    return -1;
}

int CContainerUI::GetCount() const {
    return static_cast<int>(m_items.size());
}

bool CContainerUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (!control)
        return false;
    if (index < 0 || index > GetCount()) {
        delete control;
        return false;
    }
    if (m_pManager)
        m_pManager->InitControls(control, this);
    else
        control->SetManager(nullptr, this, false);
    if (!IsVisible())
        control->SetInternVisible(false);
    m_items.insert(m_items.begin() + index, std::unique_ptr<CControlUI>(control));
    NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if (it->get() == control) {
            m_items.erase(it);
            NeedUpdate();
            return true;
        }
    }
    return false;
}

void CContainerUI::RemoveAll() {
    m_items.clear();
    NeedUpdate();
}

void CContainerUI::SetInset(RECT rc) {
    m_rcInset = rc;
    NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding) {
    m_iChildPadding = padding;
    NeedUpdate();
}

void CContainerUI::SetVisible(bool visible) {
    if (m_bVisible == visible)
        return;
    CControlUI::SetVisible(visible);
    for (auto& item : m_items)
        item->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool visible) {
    CControlUI::SetInternVisible(visible);
    for (auto& item : m_items)
        item->SetInternVisible(IsVisible());
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    for (auto& item : m_items)
        item->SetManager(manager, this, init);
    if (m_pVerticalScrollBar)
        m_pVerticalScrollBar->SetManager(manager, this, init);
    if (m_pHorizontalScrollBar)
        m_pHorizontalScrollBar->SetManager(manager, this, init);
    CControlUI::SetManager(manager, parent, init);
}

int CContainerUI::ArrangeItems(RECT inner, bool vertical) {
    if (m_items.empty())
        return 0;
    std::vector<LayoutItem> items(m_items.size());
    for (size_t i = 0; i < m_items.size(); ++i) {
        const CControlUI& c = *m_items[i];
        LayoutItem& item = items[i];
        item.visible = c.IsVisible();
        item.floating = c.IsFloat();
        const RECT p = c.GetPadding();
        item.padding = UiRect{p.left, p.top, p.right, p.bottom};
        item.fixedWidth = c.GetFixedWidth();
        item.fixedHeight = c.GetFixedHeight();
        item.minWidth = c.GetMinWidth();
        item.minHeight = c.GetMinHeight();
        item.maxWidth = c.GetMaxWidth();
        item.maxHeight = c.GetMaxHeight();
    }
    const UiRect area{inner.left, inner.top, inner.right, inner.bottom};
    const DesiredSizeFn desired = [this](size_t i, UiSize available) {
        SIZE s = m_items[i]->EstimateSize(SIZE{available.cx, available.cy});
        return UiSize{s.cx, s.cy};
    };
    const int childPadding = Scaled(m_iChildPadding);
    const LayoutOutcome out = vertical ? LayoutVertically(area, childPadding, items, desired)
                                       : LayoutHorizontally(area, childPadding, items, desired);
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (items[i].visible && items[i].floating) {
            SetFloatPos(static_cast<int>(i));
        } else if (out.placed[i]) {
            const UiRect& r = out.rects[i];
            m_items[i]->SetPos(RECT{r.left, r.top, r.right, r.bottom}, false);
        }
    }
    return out.needed;
}

RECT CContainerUI::LayoutRect() const {
    RECT rc = m_rcItem;
    const RECT inset = Scaled(m_rcInset);
    rc.left += inset.left;
    rc.top += inset.top;
    rc.right -= inset.right;
    rc.bottom -= inset.bottom;
    if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible())
        rc.right -= m_pVerticalScrollBar->GetFixedWidth();
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible())
        rc.bottom -= m_pHorizontalScrollBar->GetFixedHeight();
    return rc;
}

void CContainerUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    const RECT inner = LayoutRect();
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* item = m_items[i].get();
        if (!item->IsVisible())
            continue;
        if (item->IsFloat())
            SetFloatPos(i);
        else
            item->SetPos(inner, false);
    }
}

void CContainerUI::SetFloatPos(int index) {
    CControlUI* item = GetItemAt(index);
    if (!item || !item->IsVisible() || !item->IsFloat())
        return;
    const SIZE xy = item->GetFixedXY();
    UiRect r = FloatingRect(UiRect{m_rcItem.left, m_rcItem.top, m_rcItem.right, m_rcItem.bottom}, xy.cx, xy.cy,
                            item->GetFixedWidth(), item->GetFixedHeight());
    item->SetPos(RECT{r.left, r.top, r.right, r.bottom}, false);
}

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    const std::wstring n = name;
    if (n == L"inset") {
        SkinRect r = ParseRect(value);
        SetInset(RECT{r.left, r.top, r.right, r.bottom});
    } else if (n == L"childpadding") {
        SetChildPadding(ParseInt(value));
    } else if (n == L"mousechild") {
        m_bMouseChildEnabled = ParseBool(value);
    } else if (n == L"vscrollbar") {
        EnableScrollBar(ParseBool(value), m_pHorizontalScrollBar != nullptr);
    } else if (n == L"hscrollbar") {
        EnableScrollBar(m_pVerticalScrollBar != nullptr, ParseBool(value));
    } else if (n == L"vscrollbarstyle") {
        EnableScrollBar(true, m_pHorizontalScrollBar != nullptr);
        m_pVerticalScrollBar->ApplyAttributeList(value);
    } else if (n == L"hscrollbarstyle") {
        EnableScrollBar(m_pVerticalScrollBar != nullptr, true);
        m_pHorizontalScrollBar->ApplyAttributeList(value);
    } else {
        // "scrollstepsize", "sepheight", "sepwidth", "sepimm" are accepted and ignored.
        CControlUI::SetAttribute(name, value);
    }
}

void CContainerUI::SetScrollBarPresent(std::unique_ptr<CScrollBarUI>& bar, bool present, bool horizontal) {
    if (!present) {
        bar.reset();
        return;
    }
    if (bar)
        return;
    bar = std::make_unique<CScrollBarUI>(horizontal);
    bar->SetVisible(false); // shown when the content needs it
    bar->SetManager(m_pManager, this, false);
    if (m_pManager) {
        if (const std::wstring* list = m_pManager->GetDefaultAttributeList(horizontal ? L"HScrollBar" : L"VScrollBar"))
            bar->ApplyAttributeList(*list);
    }
}

void CContainerUI::EnableScrollBar(bool vertical, bool horizontal) {
    SetScrollBarPresent(m_pVerticalScrollBar, vertical, false);
    SetScrollBarPresent(m_pHorizontalScrollBar, horizontal, true);
    NeedUpdate();
}

void CContainerUI::ProcessScrollBar(RECT rc, int cxRequired, int cyRequired) {
    // The bars only show the range; content does not scroll in this toolkit.
    bool visibilityChanged = false;
    if (m_pVerticalScrollBar) {
        const int range = cyRequired - (rc.bottom - rc.top);
        m_pVerticalScrollBar->SetScrollRange(range > 0 ? range : 0);
        visibilityChanged |= m_pVerticalScrollBar->IsVisible() != (range > 0);
        m_pVerticalScrollBar->SetVisible(range > 0);
        if (range > 0) {
            RECT bar{rc.right, rc.top, rc.right + m_pVerticalScrollBar->GetFixedWidth(), rc.bottom};
            m_pVerticalScrollBar->SetPos(bar, false);
        }
    }
    if (m_pHorizontalScrollBar) {
        const int range = cxRequired - (rc.right - rc.left);
        m_pHorizontalScrollBar->SetScrollRange(range > 0 ? range : 0);
        visibilityChanged |= m_pHorizontalScrollBar->IsVisible() != (range > 0);
        m_pHorizontalScrollBar->SetVisible(range > 0);
        if (range > 0) {
            RECT bar{rc.left, rc.bottom, rc.right, rc.bottom + m_pHorizontalScrollBar->GetFixedHeight()};
            m_pHorizontalScrollBar->SetPos(bar, false);
        }
    }
    // A bar that appeared or went away changes the room of the children: lay
    // them out once more (only once, so two bars cannot keep toggling).
    if (visibilityChanged && !m_bRelayout) {
        m_bRelayout = true;
        SetPos(m_rcItem, false);
        m_bRelayout = false;
    }
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) {
    if ((flags & UIFIND_VISIBLE) && !IsVisible())
        return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled())
        return nullptr;
    if (flags & UIFIND_HITTEST) {
        const POINT* pt = static_cast<const POINT*>(data);
        if (!::PtInRect(&m_rcItem, *pt))
            return nullptr;
        if (!m_bMouseChildEnabled) {
            CControlUI* result = nullptr;
            if (m_pVerticalScrollBar)
                result = m_pVerticalScrollBar->FindControl(proc, data, flags);
            if (!result && m_pHorizontalScrollBar)
                result = m_pHorizontalScrollBar->FindControl(proc, data, flags);
            return result ? result : CControlUI::FindControl(proc, data, flags);
        }
    }
    if (flags & UIFIND_ME_FIRST) {
        if (CControlUI* me = CControlUI::FindControl(proc, data, flags))
            return me;
    }
    CControlUI* result = nullptr;
    if (m_pVerticalScrollBar)
        result = m_pVerticalScrollBar->FindControl(proc, data, flags);
    if (!result && m_pHorizontalScrollBar)
        result = m_pHorizontalScrollBar->FindControl(proc, data, flags);
    if (result)
        return result;

    if (flags & UIFIND_HITTEST) {
        // Children outside the layout rectangle (less inset) cannot be hit,
        // except floating ones; the topmost (last painted) wins.
        const POINT* pt = static_cast<const POINT*>(data);
        const RECT inner = LayoutRect();
        for (int i = GetCount() - 1; i >= 0; --i) {
            CControlUI* item = m_items[i].get();
            if (!item->IsFloat() && !::PtInRect(&inner, *pt))
                continue;
            if (CControlUI* found = item->FindControl(proc, data, flags))
                return found;
        }
    } else if (flags & UIFIND_TOP_FIRST) {
        for (int i = GetCount() - 1; i >= 0; --i) {
            if (CControlUI* found = m_items[i]->FindControl(proc, data, flags))
                return found;
        }
    } else {
        for (auto& item : m_items) {
            if (CControlUI* found = item->FindControl(proc, data, flags))
                return found;
        }
    }
    if (!(flags & UIFIND_ME_FIRST))
        return CControlUI::FindControl(proc, data, flags);
    return nullptr;
}

void CContainerUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    RECT area;
    if (!::IntersectRect(&area, &rcPaint, &m_rcItem))
        return;
    {
        ClipScope own(hDC, m_rcItem, SIZE{Scaled(m_cxyBorderRound.cx), Scaled(m_cxyBorderRound.cy)});
        CControlUI::DoPaint(hDC, area);
        const RECT inner = LayoutRect();
        for (auto& item : m_items) {
            if (!item->IsVisible())
                continue;
            RECT itemArea;
            if (!::IntersectRect(&itemArea, &area, &item->GetPos()))
                continue;
            if (item->IsFloat()) {
                item->DoPaint(hDC, area);
            } else {
                RECT clip;
                if (!::IntersectRect(&clip, &area, &inner))
                    continue;
                ClipScope flow(hDC, inner);
                item->DoPaint(hDC, clip);
            }
        }
    }
    if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible())
        m_pVerticalScrollBar->DoPaint(hDC, area);
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible())
        m_pHorizontalScrollBar->DoPaint(hDC, area);
}

void CContainerUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS) {
        m_bFocused = event.Type == UIEVENT_SETFOCUS;
        return;
    }
    CControlUI::DoEvent(event);
}

} // namespace SkinKit
