// Reads the machine profile from the running system.
#pragma once

#include "HardwareProfile.h"

#include <string>

namespace Tallywick {

std::string GetScreenSize();
std::string GetOsVersionCode();
// Relies on the host process for Windows Sockets; without it the loopback address.
std::string GetLocalAddress();

// Screen, system, address, disk identity, adapter digest and the hardware of
// the five WMI classes (one connection, each class queried once).
MachineProfile CollectMachineProfile();

} // namespace Tallywick
