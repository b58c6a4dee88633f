// Reads the machine profile from the running system.
#pragma once

#include "HardwareProfile.h"

#include <string>

namespace Tallywick {

std::string GetScreenSize();
std::string GetOsVersionCode();
// Relies on the host process for Windows Sockets; without it the loopback address.
std::string GetLocalAddress();

class ProfileCollector;

// Screen, system, address, disk identity and adapter digest.
MachineProfile CollectSystemFacts();
// Memory, disks, board, processor and video, one query per class.
void CollectHardware(ProfileCollector& collector, MachineProfile& profile);
// Both of the above, with a WMI connection of its own.
MachineProfile CollectMachineProfile();

} // namespace Tallywick
