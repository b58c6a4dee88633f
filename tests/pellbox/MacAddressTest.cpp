#include "MacAddressFormat.h"
#include "MachineIdentity.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(MacAddressList, SystemAdapterRecordsAreRead) {
    const std::vector<AdapterRecord> adapters = ReadAdapterRecords();
    if (adapters.empty())
        GTEST_SKIP() << "no network adapters here";
    for (const AdapterRecord& adapter : adapters) {
        EXPECT_FALSE(adapter.name.empty());
        EXPECT_NE(adapter.type, 0u);
    }
    std::vector<std::string> all;
    for (const AdapterRecord& adapter : adapters)
        all.push_back(adapter.name);
    // With every adapter counted as physical, the Ethernet ones appear in the list.
    const std::string list = FormatMacAddressList(adapters, all);
    const auto ethernet = std::count_if(adapters.begin(), adapters.end(),
                                        [](const AdapterRecord& a) { return a.type == kAdapterTypeEthernet; });
    EXPECT_EQ(list.size(), ethernet ? ethernet * 18 - 1 : 0u) << list;
}
