#include "MacAddressFormat.h"

#include <algorithm>
#include <cstdio>

namespace {

bool StartsWithPci(const std::string& text) {
    if (text.size() < 3)
        return false;
    for (size_t i = 0; i < 3; ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != "PCI"[i])
            return false;
    }
    return true;
}

} // namespace

std::string FormatMacAddress(const uint8_t* address) {
    char text[18] = {};
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", address[0], address[1], address[2], address[3],
                  address[4], address[5]);
    return text;
}

std::vector<std::string> SelectPhysicalAdapterIds(const std::vector<AdapterClassEntry>& entries) {
    std::vector<std::string> ids;
    for (const AdapterClassEntry& entry : entries) {
        if (!entry.hasCharacteristics || (entry.characteristics & kCharacteristicPhysical) == 0)
            continue;
        if (!entry.hasComponentId || !StartsWithPci(entry.componentId))
            continue;
        if (entry.hasInstanceId)
            ids.push_back(entry.instanceId);
    }
    return ids;
}

std::string FormatMacAddressList(const std::vector<AdapterRecord>& adapters,
                                 const std::vector<std::string>& physicalIds) {
    std::vector<std::string> items;
    for (const AdapterRecord& adapter : adapters) {
        if (adapter.type != kAdapterTypeEthernet)
            continue;
        if (std::find(physicalIds.begin(), physicalIds.end(), adapter.name) == physicalIds.end())
            continue;
        items.push_back(FormatMacAddress(adapter.address));
    }
    std::sort(items.begin(), items.end());
    std::string list;
    for (const std::string& item : items) {
        if (!list.empty())
            list += '+';
        list += item;
    }
    return list;
}
