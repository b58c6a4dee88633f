// COM initialised for the calling thread while the object lives. Only an
// initialisation that succeeded is undone (S_FALSE counts: it must be balanced
// too); when the thread already runs in another apartment model COM stays
// usable and nothing is undone.
#pragma once

#include <objbase.h>

namespace Ostra {

class ComApartment {
public:
    ComApartment() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComApartment() {
        if (initialized_)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_;
};

} // namespace Ostra
