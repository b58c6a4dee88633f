#include "MacAddressFormat.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

AdapterRecord Adapter(const char* name, std::initializer_list<uint8_t> address, uint32_t type = 6) {
    AdapterRecord record;
    record.name = name;
    std::copy(address.begin(), address.end(), record.address);
    record.type = type;
    return record;
}

AdapterClassEntry ClassEntry(uint32_t characteristics, const char* componentId, const char* instanceId) {
    AdapterClassEntry entry;
    entry.hasCharacteristics = true;
    entry.characteristics = characteristics;
    entry.hasComponentId = componentId != nullptr;
    entry.componentId = componentId ? componentId : "";
    entry.hasInstanceId = instanceId != nullptr;
    entry.instanceId = instanceId ? instanceId : "";
    return entry;
}

} // namespace

TEST(MacAddressList, PhysicalWiredAdaptersSortedAndJoined) {
    const std::vector<AdapterRecord> adapters = {
        Adapter("{B}", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}),
        Adapter("{WIFI}", {0x00, 0x01, 0x02, 0x03, 0x04, 0x05}, 71),
        Adapter("{A}", {0x00, 0x0C, 0x29, 0xAA, 0xBB, 0xCC}),
        Adapter("{USB}", {0x00, 0x00, 0x00, 0x00, 0x00, 0x01}),
        Adapter("{a}", {0x00, 0x00, 0x00, 0x00, 0x00, 0x02}), // ids are compared case-sensitively
    };
    const std::vector<std::string> physical = {"{A}", "{B}", "{WIFI}"};
    EXPECT_EQ(FormatMacAddressList(adapters, physical), "00-0C-29-AA-BB-CC+00-1A-2B-3C-4D-5E");
    EXPECT_EQ(FormatMacAddressList(adapters, {}), "");
    EXPECT_EQ(FormatMacAddressList({adapters[0], adapters[0]}, physical), "00-1A-2B-3C-4D-5E+00-1A-2B-3C-4D-5E");
}

TEST(MacAddressList, RegistryFilterKeepsPhysicalPciAdapters) {
    AdapterClassEntry noCharacteristics = ClassEntry(0x84, "PCI\\VEN_8086", "{NOCHAR}");
    noCharacteristics.hasCharacteristics = false;
    const std::vector<AdapterClassEntry> entries = {
        ClassEntry(0x84, "PCI\\VEN_8086&DEV_100E", "{A}"),
        ClassEntry(0x04, "pci\\ven_10ec", "{B}"),
        ClassEntry(0x84, "USB\\VID_0BDA", "{USB}"),
        ClassEntry(0x01, "PCI\\VEN_8086", "{VIRTUAL}"),
        ClassEntry(0x04, "PC", "{SHORT}"),
        ClassEntry(0x04, "PCI\\VEN_1AF4", nullptr),
        ClassEntry(0x04, nullptr, "{NOCOMPONENT}"),
        noCharacteristics,
    };
    EXPECT_EQ(SelectPhysicalAdapterIds(entries), (std::vector<std::string>{"{A}", "{B}"}));
}
