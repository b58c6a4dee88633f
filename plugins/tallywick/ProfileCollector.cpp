#include "ProfileCollector.h"

#include "ComValues.h"

#include <cwchar>

namespace Tallywick {

using Ostra::Bstr;
using Ostra::ComRef;
using Ostra::Variant;

namespace {

std::wstring SignedDecimal(long value) {
    wchar_t buffer[16] = {};
    std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%ld", value);
    return buffer;
}

std::wstring TrimSpaces(const std::wstring& text) {
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return text; // empty or spaces only: left as it is
    size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

} // namespace

std::wstring VariantToText(const VARIANT& value) {
    switch (value.vt) {
    case VT_I4:
        return SignedDecimal(value.lVal);
    case VT_UI4:
        return SignedDecimal(static_cast<long>(value.ulVal));
    case VT_UI1:
        return SignedDecimal(value.bVal);
    case VT_BSTR:
        if (!value.bstrVal)
            return L"";
        return TrimSpaces(std::wstring(value.bstrVal, SysStringLen(value.bstrVal)));
    case VT_BOOL:
        return value.boolVal == VARIANT_TRUE ? L"true" : L"false";
    default:
        return L"";
    }
}

HardwareRecords ReadRecords(IEnumWbemClassObject* enumerator, const std::vector<const wchar_t*>& properties) {
    HardwareRecords records;
    for (;;) {
        ComRef<IWbemClassObject> object;
        ULONG returned = 0;
        HRESULT hr = enumerator->Next(WBEM_INFINITE, 1, object.put(), &returned);
        if (FAILED(hr) || returned == 0 || !object)
            break;
        HardwareRecord record;
        for (const wchar_t* name : properties) {
            Variant value;
            if (SUCCEEDED(object->Get(name, 0, value.put(), nullptr, nullptr)))
                record[name] = VariantToText(value.get());
        }
        records.push_back(std::move(record));
    }
    return records;
}

ProfileCollector::ProfileCollector() {
    ComRef<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator, locator.putVoid())))
        return;
    Bstr ns(L"ROOT\\CIMV2");
    if (FAILED(locator->ConnectServer(ns.get(), nullptr, nullptr, nullptr, WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr,
                                      nullptr, services_.put()))) {
        services_.reset();
        return;
    }
    CoSetProxyBlanket(services_.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

const HardwareRecords& ProfileCollector::Query(const HardwareClass& hardwareClass) {
    auto it = queried_.find(hardwareClass.classText);
    if (it == queried_.end())
        it = queried_.emplace(hardwareClass.classText, Run(hardwareClass)).first;
    return it->second;
}

HardwareRecords ProfileCollector::Run(const HardwareClass& hardwareClass) {
    if (!services_)
        return {};
    ++queriesRun_;
    Bstr language(L"WQL");
    Bstr query(std::wstring(L"SELECT * FROM ") + hardwareClass.classText);
    ComRef<IEnumWbemClassObject> enumerator;
    if (FAILED(services_->ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                    nullptr, enumerator.put())) ||
        !enumerator)
        return {};
    // Give the semi-synchronous query a moment before the first blocking Next.
    Sleep(10);
    return ReadRecords(enumerator.get(), hardwareClass.properties);
}

} // namespace Tallywick
