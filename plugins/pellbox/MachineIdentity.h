// Machine identity: the disk identity text, the MAC addresses of the physical
// wired adapters and a fresh installation UUID.
#pragma once

#include "MacAddressFormat.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

// Disk identity (model, firmware and serial of the first disk that answers), spaces removed.
std::wstring GetHardSN();

// Narrow identity text from the drive queries, falling back to WMI.
std::string ReadDiskIdentity();
bool IdentifyByPhysicalDrive(std::string& text);
bool IdentifyBySmartDriver(std::string& text);

// Holds the first non-empty WMI answer. It is published in one step, so a
// reader sees it either empty or complete, even while a worker still runs.
class DiskIdentityCache {
public:
    static constexpr size_t kCapacity = 1024;

    DiskIdentityCache() = default;
    DiskIdentityCache(const DiskIdentityCache&) = delete;
    DiskIdentityCache& operator=(const DiskIdentityCache&) = delete;
    ~DiskIdentityCache();

    std::string Text() const;
    // Stores at most kCapacity - 1 bytes; the first text published wins.
    void Publish(const std::string& text);

private:
    std::atomic<const char*> text_{nullptr};
};

using DiskQueryFunction = std::string (*)();

// Answers from the cache, or runs query on a worker thread (with its own COM
// apartment) and waits at most waitMs for it. A worker that times out keeps
// running and fills the cache for later calls; the cache must outlive it.
std::string IdentifyByWmi(DiskIdentityCache& cache, DiskQueryFunction query, DWORD waitMs);
// The library's own cache, QueryDiskDriveWmi and a 3,000 ms wait.
std::string IdentifyByWmi();

// First Win32_DiskDrive with a serial number, as a 28-character padded text.
std::string QueryDiskDriveWmi();

// MAC addresses of the physical Ethernet adapters, sorted, joined with "+".
std::string GetMacAddressList();
// Every adapter GetAdaptersInfo reports, wired or not.
std::vector<AdapterRecord> ReadAdapterRecords();
std::vector<std::string> ReadPhysicalAdapterIds();
bool IsPhysicalAdapter(const std::string& name);

// 32 upper-case hexadecimal digits of a new GUID.
std::wstring NewAppUuid();
