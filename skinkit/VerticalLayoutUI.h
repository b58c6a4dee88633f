// A container that stacks its children top to bottom, each child as wide as the layout unless it has a fixed width;
// children without a fixed size share the free space equally.
#pragma once

#include "ContainerUI.h"

namespace SkinKit {

class CVerticalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
};

} // namespace SkinKit
