#include "SystemProfile.h"

#include "MachineIdentity.h"
#include "Md5.h"
#include "OsVersionCode.h"
#include "ProfileCollector.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace Tallywick {

std::string GetScreenSize() {
    char buffer[32] = {};
    std::snprintf(buffer, sizeof buffer, "%d*%d", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return buffer;
}

std::string GetOsVersionCode() {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof info;
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)))
        return "";
    OsVersionFacts facts;
    facts.major = info.dwMajorVersion;
    facts.minor = info.dwMinorVersion;
    facts.workstation = info.wProductType == VER_NT_WORKSTATION;
    facts.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
    return OsVersionCode(facts);
}

std::string GetLocalAddress() {
    char name[260] = {};
    if (gethostname(name, sizeof name - 1) == 0) {
        const hostent* host = gethostbyname(name);
        if (host && host->h_addrtype == AF_INET && host->h_addr_list && host->h_addr_list[0]) {
            in_addr address;
            std::memcpy(&address, host->h_addr_list[0], sizeof address);
            if (const char* text = inet_ntoa(address))
                return text;
        }
    }
    return "127.0.0.1";
}

MachineProfile CollectSystemFacts() {
    MachineProfile profile;
    profile.screenSize = GetScreenSize();
    profile.osVersion = GetOsVersionCode();
    profile.localAddress = GetLocalAddress();
    profile.device = GetHardSN();
    profile.macDigest = Md5Hex(GetMacAddressList());
    return profile;
}

void CollectHardware(ProfileCollector& collector, MachineProfile& profile) {
    profile.memory = MemoryFromRecords(collector.Query(PhysicalMemoryClass()));
    profile.disks = DisksFromRecords(collector.Query(DiskDriveClass()));
    profile.board = BoardFromRecords(collector.Query(BaseBoardClass()));
    profile.cpu = ProcessorFromRecords(collector.Query(ProcessorClass()));
    profile.video = VideoFromRecords(collector.Query(VideoControllerClass()));
}

MachineProfile CollectMachineProfile() {
    MachineProfile profile = CollectSystemFacts();
    ProfileCollector collector;
    CollectHardware(collector, profile);
    return profile;
}

} // namespace Tallywick
