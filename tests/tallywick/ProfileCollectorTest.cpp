#include "ProfileCollector.h"
#include "SystemProfile.h"

#include <gtest/gtest.h>

#include <thread>

using namespace Tallywick;

namespace {

VARIANT MakeVariant(VARTYPE type) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    return v;
}

std::wstring TextOfBstr(const wchar_t* text) {
    VARIANT v = MakeVariant(VT_BSTR);
    v.bstrVal = SysAllocString(text);
    std::wstring result = VariantToText(v);
    VariantClear(&v);
    return result;
}

// A WMI object with fixed properties that counts its references.
class FakeObject : public IWbemClassObject {
public:
    explicit FakeObject(std::map<std::wstring, std::wstring> props) : props_(std::move(props)) {}
    LONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE*, LONG*) override {
        auto it = props_.find(name);
        if (it == props_.end())
            return WBEM_E_NOT_FOUND;
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(it->second.c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }

private:
    std::map<std::wstring, std::wstring> props_;
};

// Hands out its objects one per Next, each with a new reference, then S_FALSE.
class FakeEnumerator : public IEnumWbemClassObject {
public:
    explicit FakeEnumerator(std::vector<FakeObject*> objects) : objects_(std::move(objects)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG, ULONG count, IWbemClassObject** out, ULONG* returned) override {
        *returned = 0;
        if (count != 1 || next_ >= objects_.size())
            return WBEM_S_FALSE;
        objects_[next_]->AddRef();
        out[0] = objects_[next_++];
        *returned = 1;
        return WBEM_S_NO_ERROR;
    }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }

private:
    std::vector<FakeObject*> objects_;
    size_t next_ = 0;
};

// COM state of the calling thread: 0 none, 1 single-threaded, 2 multi-threaded.
int ApartmentOfThisThread() {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    if (FAILED(CoGetApartmentType(&type, &qualifier)))
        return 0;
    return type == APTTYPE_MTA ? 2 : 1;
}

} // namespace

TEST(VariantToText, IntegersAreSignedDecimal) {
    VARIANT v = MakeVariant(VT_I4);
    v.lVal = -5;
    EXPECT_EQ(VariantToText(v), L"-5");
    v = MakeVariant(VT_UI4);
    v.ulVal = 0x80000000u;
    EXPECT_EQ(VariantToText(v), L"-2147483648");
    v = MakeVariant(VT_UI1);
    v.bVal = 200;
    EXPECT_EQ(VariantToText(v), L"200");
}

TEST(VariantToText, StringsLoseOuterSpacesOnly) {
    EXPECT_EQ(TextOfBstr(L"  BFEBFBFF000306C3  "), L"BFEBFBFF000306C3");
    EXPECT_EQ(TextOfBstr(L"a b"), L"a b");
    EXPECT_EQ(TextOfBstr(L"\tx "), L"\tx");
    EXPECT_EQ(TextOfBstr(L"   "), L"   ");
    EXPECT_EQ(TextOfBstr(L""), L"");
}

TEST(VariantToText, BooleansAndOtherTypes) {
    VARIANT v = MakeVariant(VT_BOOL);
    v.boolVal = VARIANT_TRUE;
    EXPECT_EQ(VariantToText(v), L"true");
    v.boolVal = VARIANT_FALSE;
    EXPECT_EQ(VariantToText(v), L"false");
    EXPECT_EQ(VariantToText(MakeVariant(VT_NULL)), L"");
    EXPECT_EQ(VariantToText(MakeVariant(VT_EMPTY)), L"");
    v = MakeVariant(VT_R8);
    v.dblVal = 1.5;
    EXPECT_EQ(VariantToText(v), L"");
}

TEST(ReadRecords, OneRecordPerObjectAndEveryObjectReleased) {
    FakeObject first({{L"Name", L" A "}, {L"Size", L"10"}});
    FakeObject second({});
    FakeEnumerator enumerator({&first, &second});

    HardwareRecords records = ReadRecords(&enumerator, {L"Name", L"Size", L"Missing"});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].at(L"Name"), L"A");
    EXPECT_EQ(records[0].at(L"Size"), L"10");
    EXPECT_EQ(records[0].count(L"Missing"), 0u);
    EXPECT_TRUE(records[1].empty());
    EXPECT_EQ(first.refs, 1);
    EXPECT_EQ(second.refs, 1);
}

TEST(ProfileCollector, LeavesUninitialisedAndSingleThreadedHostsAsTheyWere) {
    std::thread([] {
        {
            ProfileCollector collector;
            EXPECT_EQ(ApartmentOfThisThread(), 1);
        }
        EXPECT_EQ(ApartmentOfThisThread(), 0);

        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        { ProfileCollector collector; } // S_FALSE inside: balanced by its own CoUninitialize
        EXPECT_EQ(ApartmentOfThisThread(), 1);
        CoUninitialize();
        EXPECT_EQ(ApartmentOfThisThread(), 0);
    }).join();
}

TEST(ProfileCollector, LeavesAMultiThreadedHostAsItWas) {
    int after = -1;
    HRESULT second = E_FAIL;
    std::thread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            ProfileCollector collector; // its CoInitialize is refused: must not uninitialise
            EXPECT_TRUE(collector.Connected());
        }
        after = ApartmentOfThisThread();
        CoUninitialize();
        second = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(second))
            CoUninitialize();
    }).join();
    EXPECT_EQ(after, 2);
    EXPECT_EQ(second, S_OK); // the host's single initialisation was the only one left
}

TEST(ProfileCollector, QueriesEachClassOnceAndReadsTheMachine) {
    std::thread([] {
        ProfileCollector collector;
        ASSERT_TRUE(collector.Connected());
        MachineProfile profile;
        CollectHardware(collector, profile);
        CollectHardware(collector, profile);
        EXPECT_EQ(collector.QueriesRun(), 5);
        EXPECT_GT(profile.cpu.cores, 0);
        EXPECT_FALSE(profile.cpu.name.empty());
        ASSERT_FALSE(profile.disks.empty());
        EXPECT_GT(profile.disks[0].sizeGiB, 0);
    }).join();
}
