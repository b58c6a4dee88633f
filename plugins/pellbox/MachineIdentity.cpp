#include "MachineIdentity.h"

#include "CodePageText.h"
#include "ComApartment.h"
#include "ComRef.h"
#include "ComValues.h"
#include "DiskIdentityFormat.h"
#include "DriveIdentification.h"
#include "MacAddressFormat.h"
#include "PluginFrame.h"
#include "SystemLibrary.h"
#include "UniqueHandle.h"

#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <cstdio>
#include <cstring>
#include <new>

using Ostra::ComApartment;
using Ostra::ComRef;

namespace {

constexpr DWORD kSmartGetVersion = 0x00074080;
constexpr DWORD kSmartReceiveDriveData = 0x0007C088;
constexpr DWORD kWmiWaitMs = 3000;

// IP_ADAPTER_INFO as the system writes it (64-bit time_t members: 648 bytes
// for a 32-bit caller, 704 for a 64-bit one); headers built with a 32-bit
// time_t describe a shorter record, so the layout is spelled out here.
#if defined(_WIN64)
constexpr size_t kAdapterRecordSize = 704;
constexpr size_t kAdapterNameOffset = 12;
constexpr size_t kAdapterAddressOffset = 408;
constexpr size_t kAdapterTypeOffset = 420;
#else
constexpr size_t kAdapterRecordSize = 648;
constexpr size_t kAdapterNameOffset = 8;
constexpr size_t kAdapterAddressOffset = 404;
constexpr size_t kAdapterTypeOffset = 416;
#endif
constexpr size_t kAdapterNameBytes = 260;
struct AdapterInfoRecord {
    alignas(8) uint8_t bytes[kAdapterRecordSize];
};

DiskIdentityCache diskIdentityCache;
std::vector<std::string> physicalAdapterIds;

// The disk driver behind SmartDevice: a physical drive, or the old SMART driver.
class DiskDriverDevice : public SmartDevice {
public:
    explicit DiskDriverDevice(bool smartDriver) : smartDriver_(smartDriver) {}

    bool Open(int drive) override {
        if (smartDriver_) {
            handle_.reset(CreateFileA("\\\\.\\Smartvsd", 0, 0, nullptr, CREATE_NEW, 0, nullptr));
        } else {
            char name[32] = {};
            std::snprintf(name, sizeof name, "\\\\.\\PhysicalDrive%d", drive);
            handle_.reset(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        }
        return handle_.valid();
    }
    bool GetVersion(uint8_t* versionReply) override {
        DWORD returned = 0;
        return DeviceIoControl(handle_.get(), kSmartGetVersion, nullptr, 0, versionReply, kVersionReplySize, &returned,
                               nullptr) != FALSE;
    }
    bool ReceiveDriveData(const uint8_t* request, uint8_t* reply) override {
        DWORD returned = 0;
        return DeviceIoControl(handle_.get(), kSmartReceiveDriveData, const_cast<uint8_t*>(request),
                               kIdentifyRequestSize, reply, kIdentifyReplySize, &returned, nullptr) != FALSE;
    }

private:
    bool smartDriver_;
    Ostra::UniqueFile handle_;
};

std::string ReadWmiText(IWbemClassObject* object, const wchar_t* name) {
    Ostra::Variant value;
    if (FAILED(object->Get(name, 0, value.put(), nullptr, nullptr)) || value.get().vt != VT_BSTR ||
        !value.get().bstrVal)
        return {};
    const std::wstring wide(value.get().bstrVal, SysStringLen(value.get().bstrVal));
    return WideToCodePage(CP_THREAD_ACP, wide).c_str();
}

struct WmiWorkerJob {
    DiskIdentityCache* cache;
    DiskQueryFunction query;
    HMODULE module; // keeps the code of this library loaded while the worker runs
};

DWORD WINAPI WmiWorker(void* parameter) {
    WmiWorkerJob* job = static_cast<WmiWorkerJob*>(parameter);
    HMODULE module = job->module;
    try {
        std::string text;
        {
            ComApartment apartment;
            text = job->query();
        }
        if (!text.empty())
            job->cache->Publish(text);
    } catch (...) {
    }
    delete job;
    if (module)
        FreeLibraryAndExitThread(module, 0);
    return 0;
}

HMODULE PinOwnModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WmiWorker), &module);
    return module;
}

AdapterClassEntry ReadAdapterClassEntry(HKEY key) {
    AdapterClassEntry entry;
    DWORD characteristics = 0;
    DWORD size = sizeof characteristics;
    DWORD type = 0;
    if (RegQueryValueExA(key, "Characteristics", nullptr, &type, reinterpret_cast<BYTE*>(&characteristics), &size) ==
            ERROR_SUCCESS &&
        size == sizeof characteristics) {
        entry.hasCharacteristics = true;
        entry.characteristics = characteristics;
    }
    auto readText = [key](const char* name, std::string& text) {
        char buffer[257] = {}; // 256 bytes of value and a terminator that is always there
        DWORD bytes = 256;
        if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS)
            return false;
        text = buffer;
        return true;
    };
    entry.hasComponentId = readText("ComponentId", entry.componentId);
    entry.hasInstanceId = readText("NetCfgInstanceId", entry.instanceId);
    return entry;
}

} // namespace

DiskIdentityCache::~DiskIdentityCache() {
    delete[] text_.load();
}

std::string DiskIdentityCache::Text() const {
    const char* text = text_.load(std::memory_order_acquire);
    return text ? std::string(text) : std::string();
}

void DiskIdentityCache::Publish(const std::string& text) {
    char* buffer = new (std::nothrow) char[kCapacity]();
    if (!buffer)
        return;
    std::memcpy(buffer, text.data(), text.size() < kCapacity - 1 ? text.size() : kCapacity - 1);
    const char* expected = nullptr;
    if (!text_.compare_exchange_strong(expected, buffer, std::memory_order_acq_rel))
        delete[] buffer;
}

std::wstring GetHardSN() {
    return RemoveSpaces(FromNarrowText(ReadDiskIdentity()));
}

std::string ReadDiskIdentity() {
    std::string text;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
    const BOOL known = GetVersionExW(&version);
    if (known && (version.dwPlatformId == 0 || version.dwPlatformId == 1)) {
        IdentifyBySmartDriver(text);
        IdentifyByPhysicalDrive(text);
    } else if (known && version.dwPlatformId == 2) {
        IdentifyByPhysicalDrive(text);
    }
    if (text.empty())
        text = IdentifyByWmi();
    return text;
}

bool IdentifyByPhysicalDrive(std::string& text) {
    DiskDriverDevice drives(false);
    return IdentifyFromPhysicalDrives(drives, text);
}

bool IdentifyBySmartDriver(std::string& text) {
    DiskDriverDevice driver(true);
    return IdentifyFromSmartDriver(driver, text);
}

std::string IdentifyByWmi(DiskIdentityCache& cache, DiskQueryFunction query, DWORD waitMs) {
    std::string cached = cache.Text();
    if (!cached.empty())
        return cached;
    auto* job = new (std::nothrow) WmiWorkerJob{&cache, query, PinOwnModule()};
    if (!job)
        return {};
    Ostra::UniqueHandle worker(CreateThread(nullptr, 0, &WmiWorker, job, 0, nullptr));
    if (!worker) {
        if (job->module)
            FreeLibrary(job->module);
        delete job;
        return {};
    }
    if (WaitForSingleObject(worker.get(), waitMs) != WAIT_OBJECT_0)
        return {};
    return cache.Text();
}

std::string IdentifyByWmi() {
    return IdentifyByWmi(diskIdentityCache, &QueryDiskDriveWmi, kWmiWaitMs);
}

std::string QueryDiskDriveWmi() {
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                         EOAC_NONE, nullptr);
    ComRef<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(locator.put()))))
        return {};
    ComRef<IWbemServices> services;
    if (FAILED(locator->ConnectServer(Ostra::Bstr(L"ROOT\\CIMV2").get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                      services.put())))
        return {};
    if (FAILED(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE)))
        return {};
    ComRef<IEnumWbemClassObject> drives;
    if (FAILED(services->ExecQuery(Ostra::Bstr(L"WQL").get(), Ostra::Bstr(L"SELECT * FROM Win32_DiskDrive").get(),
                                   WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, drives.put())))
        return {};
    for (;;) {
        ComRef<IWbemClassObject> drive;
        ULONG returned = 0;
        if (drives->Next(WBEM_INFINITE, 1, drive.put(), &returned) != WBEM_S_NO_ERROR || returned == 0)
            return {};
        const std::string serial = ReadWmiText(drive.get(), L"SerialNumber");
        if (!serial.empty())
            return FormatWmiDiskIdentity(ReadWmiText(drive.get(), L"Model"),
                                         ReadWmiText(drive.get(), L"FirmwareRevision"), serial);
    }
}

std::vector<AdapterRecord> ReadAdapterRecords() {
    using GetAdaptersInfoFunction = DWORD(WINAPI*)(void*, ULONG*);
    Ostra::UniqueModule library(Ostra::LoadSystemLibrary(L"Iphlpapi.dll"));
    if (!library)
        return {};
    auto getAdaptersInfo = reinterpret_cast<GetAdaptersInfoFunction>(
        reinterpret_cast<void*>(GetProcAddress(library.get(), "GetAdaptersInfo")));
    if (!getAdaptersInfo)
        return {};

    AdapterInfoRecord first = {};
    ULONG size = sizeof first;
    DWORD result = getAdaptersInfo(&first, &size);
    std::vector<AdapterInfoRecord> records(size / kAdapterRecordSize + 1, AdapterInfoRecord{});
    if (result == ERROR_BUFFER_OVERFLOW) {
        size = static_cast<ULONG>(records.size() * kAdapterRecordSize);
        result = getAdaptersInfo(records.data(), &size);
    } else {
        records[0] = first;
        std::memset(records[0].bytes, 0, sizeof(void*)); // one record fitted; its link would point into `first`
    }
    if (result != ERROR_SUCCESS)
        return {};

    // Follow the links, accepting only ones that lead further into our own
    // buffer with room for a whole record behind them.
    const uint8_t* buffer = records[0].bytes;
    const size_t bufferSize = records.size() * kAdapterRecordSize;
    std::vector<AdapterRecord> adapters;
    for (size_t offset = 0;;) {
        const uint8_t* record = buffer + offset;
        AdapterRecord adapter;
        const char* name = reinterpret_cast<const char*>(record + kAdapterNameOffset);
        adapter.name.assign(name, strnlen(name, kAdapterNameBytes));
        std::memcpy(adapter.address, record + kAdapterAddressOffset, sizeof adapter.address);
        std::memcpy(&adapter.type, record + kAdapterTypeOffset, sizeof adapter.type);
        adapters.push_back(adapter);

        const uint8_t* next = nullptr;
        std::memcpy(&next, record, sizeof next);
        const uintptr_t nextOffset = reinterpret_cast<uintptr_t>(next) - reinterpret_cast<uintptr_t>(buffer);
        if (!next || nextOffset <= offset || nextOffset > bufferSize - kAdapterRecordSize)
            break;
        offset = nextOffset;
    }
    return adapters;
}

std::string GetMacAddressList() {
    std::vector<AdapterRecord> wired;
    for (const AdapterRecord& adapter : ReadAdapterRecords()) {
        if (adapter.type == kAdapterTypeEthernet && IsPhysicalAdapter(adapter.name))
            wired.push_back(adapter);
    }
    return FormatMacAddressList(wired, physicalAdapterIds);
}

std::vector<std::string> ReadPhysicalAdapterIds() {
    Ostra::UniqueRegKey network;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}", 0, KEY_READ,
                      network.put()) != ERROR_SUCCESS)
        return {};
    std::vector<AdapterClassEntry> entries;
    for (DWORD index = 0;; ++index) {
        char name[256] = {};
        DWORD length = sizeof name;
        if (RegEnumKeyExA(network.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        Ostra::UniqueRegKey subkey;
        if (RegOpenKeyExA(network.get(), name, 0, KEY_READ, subkey.put()) != ERROR_SUCCESS)
            continue;
        entries.push_back(ReadAdapterClassEntry(subkey.get()));
    }
    return SelectPhysicalAdapterIds(entries);
}

bool IsPhysicalAdapter(const std::string& name) {
    if (physicalAdapterIds.empty())
        physicalAdapterIds = ReadPhysicalAdapterIds();
    for (const std::string& id : physicalAdapterIds) {
        if (id == name)
            return true;
    }
    return false;
}

std::wstring NewAppUuid() {
    GUID guid = {};
    {
        ComApartment apartment;
        CoCreateGuid(&guid);
    }
    wchar_t text[65] = {};
    swprintf(text, 65, L"%08lX%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X", static_cast<unsigned long>(guid.Data1),
             guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
             guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return RemoveSpaces(text);
}
