// The MAC address list and the physical-adapter filter over plain values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AdapterRecord {
    std::string name;        // network configuration instance ID, e.g. a braced GUID
    uint8_t address[6] = {}; // first six bytes of the hardware address
    uint32_t type = 0;       // 6 = Ethernet
};

// One network-class registry subkey; a value that could not be read is absent.
struct AdapterClassEntry {
    bool hasCharacteristics = false;
    uint32_t characteristics = 0;
    bool hasComponentId = false;
    std::string componentId;
    bool hasInstanceId = false;
    std::string instanceId;
};

constexpr uint32_t kAdapterTypeEthernet = 6;
constexpr uint32_t kCharacteristicPhysical = 0x4;

// "%02X-%02X-%02X-%02X-%02X-%02X"
std::string FormatMacAddress(const uint8_t* address);

// Instance IDs of the entries that are physical (characteristic 0x4) PCI devices.
std::vector<std::string> SelectPhysicalAdapterIds(const std::vector<AdapterClassEntry>& entries);

// Ethernet adapters whose name is one of physicalIds (exact match), their
// addresses sorted ascending and joined with "+".
std::string FormatMacAddressList(const std::vector<AdapterRecord>& adapters,
                                 const std::vector<std::string>& physicalIds);
