#include "HorizontalLayoutUI.h"

#include "LayoutMath.h"

#include <cwchar>

namespace SkinKit {

const wchar_t* CHorizontalLayoutUI::GetClass() const {
    return L"HorizontalLayoutUI";
}

void* CHorizontalLayoutUI::GetInterface(const wchar_t* name) {
    if (wcscmp(name, L"HorizontalLayout") == 0)
        return this;
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    const RECT inner = LayoutRect();
    if (m_items.empty()) {
        ProcessScrollBar(inner, 0, 0);
        return;
    }
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
    const LayoutOutcome out =
        LayoutHorizontally(UiRect{inner.left, inner.top, inner.right, inner.bottom}, m_iChildPadding, items,
                           [this](size_t i, UiSize available) {
                               SIZE s = m_items[i]->EstimateSize(SIZE{available.cx, available.cy});
                               return UiSize{s.cx, s.cy};
                           });
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (items[i].visible && items[i].floating) {
            SetFloatPos(static_cast<int>(i));
        } else if (out.placed[i]) {
            const UiRect& r = out.rects[i];
            m_items[i]->SetPos(RECT{r.left, r.top, r.right, r.bottom}, false);
        }
    }
    ProcessScrollBar(inner, out.needed, 0);
}

} // namespace SkinKit
