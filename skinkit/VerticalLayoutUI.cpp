#include "VerticalLayoutUI.h"

#include <cwchar>

namespace SkinKit {

const wchar_t* CVerticalLayoutUI::GetClass() const {
    return L"VerticalLayoutUI";
}

void* CVerticalLayoutUI::GetInterface(const wchar_t* name) {
    if (wcscmp(name, L"VerticalLayout") == 0)
        return this;
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    const RECT inner = LayoutRect();
    const int needed = ArrangeItems(inner, true);
    ProcessScrollBar(inner, 0, needed);
}

} // namespace SkinKit
