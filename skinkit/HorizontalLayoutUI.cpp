#include "HorizontalLayoutUI.h"

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
    const int needed = ArrangeItems(inner, false);
    ProcessScrollBar(inner, needed, 0);
}

} // namespace SkinKit
