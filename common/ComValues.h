// Owners of the two COM value types the WMI queries pass around: a BSTR made
// from a text and a VARIANT that a call fills in. Each frees its value once.
#pragma once

#include <oleauto.h>

#include <string>

namespace Ostra {

class Bstr {
public:
    explicit Bstr(const std::wstring& text) : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return value_; }

private:
    BSTR value_;
};

class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    // For calls that fill the value in; any earlier value is freed first.
    VARIANT* put() {
        VariantClear(&value_);
        return &value_;
    }
    const VARIANT& get() const { return value_; }

private:
    VARIANT value_;
};

} // namespace Ostra
