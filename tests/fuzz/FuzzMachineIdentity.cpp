// The machine identity texts from arbitrary driver and WMI answers: an IDENTIFY
// reply of any length, the three WMI disk fields, and adapter records with
// their registry entries.
#include "DiskIdentityFormat.h"
#include "MacAddressFormat.h"

#include "FuzzText.h"

#include <cstring>
#include <memory>

using FuzzText::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> reply = FuzzText::ExactCopy(data, size);
    const std::string identity = FormatIdentifyReply(reply.get(), size);
    Check(identity.size() <= 28, "identity longer than its fields");
    Check(size >= kIdentifyReplySize || identity.empty(), "identity from a short reply");

    const std::vector<std::string> fields = FuzzText::Fields(data, size, '\n', 3);
    const std::string wmi = FormatWmiDiskIdentity(fields[0], fields[1], fields[2]);
    Check(wmi.size() <= 28, "WMI identity longer than 28 characters");
    RemoveSpaces(FuzzText::Widened(wmi));

    // Records of 8 bytes: type, flags, six address bytes; names and ids are
    // short texts drawn from the flags so that some of them match.
    std::vector<AdapterRecord> adapters;
    std::vector<AdapterClassEntry> entries;
    for (size_t at = 0; at + 8 <= size; at += 8) {
        const uint8_t flags = data[at + 1];
        AdapterRecord adapter;
        adapter.type = data[at] % 8;
        adapter.name = "{" + std::to_string(flags % 5) + "}";
        std::memcpy(adapter.address, data + at + 2, 6);
        adapters.push_back(adapter);

        AdapterClassEntry entry;
        entry.hasCharacteristics = flags & 1;
        entry.characteristics = data[at + 2];
        entry.hasComponentId = flags & 2;
        entry.componentId = std::string(reinterpret_cast<const char*>(data + at + 3), flags % 6);
        entry.hasInstanceId = flags & 4;
        entry.instanceId = "{" + std::to_string(data[at + 7] % 5) + "}";
        entries.push_back(entry);
    }
    const std::string list = FormatMacAddressList(adapters, SelectPhysicalAdapterIds(entries));
    Check(list.empty() || list.size() % 18 == 17, "MAC list is not whole addresses joined by '+'");
    return 0;
}
