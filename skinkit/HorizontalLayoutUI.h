// A container that stacks its children left to right, each child as high as the row unless it has a fixed height;
// children without a fixed size share the free space equally.
#pragma once

#include "ContainerUI.h"

namespace SkinKit {

class CHorizontalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
};

} // namespace SkinKit
