#include "HardwareProfile.h"

#include "NumberText.h"

namespace Tallywick {

// Two class texts begin with a space; WQL accepts the extra blank after FROM and
// the query texts are kept exactly as they have always been sent.
const HardwareClass& BaseBoardClass() {
    static const HardwareClass c{L"Win32_BaseBoard", {L"Name", L"SerialNumber", L"Product", L"Manufacturer"}};
    return c;
}

const HardwareClass& ProcessorClass() {
    static const HardwareClass c{L" Win32_Processor", {L"Name", L"Manufacturer", L"NumberOfCores", L"ProcessorId"}};
    return c;
}

const HardwareClass& PhysicalMemoryClass() {
    static const HardwareClass c{L" Win32_PhysicalMemory",
                                 {L"Name", L"SerialNumber", L"PartNumber", L"Manufacturer", L"Capacity"}};
    return c;
}

const HardwareClass& VideoControllerClass() {
    static const HardwareClass c{L"Win32_VideoController", {L"AdapterRAM", L"Name"}};
    return c;
}

const HardwareClass& DiskDriveClass() {
    static const HardwareClass c{L"Win32_DiskDrive", {L"Name", L"SerialNumber", L"Model", L"Size"}};
    return c;
}

const std::wstring& Property(const HardwareRecord& record, const wchar_t* name) {
    static const std::wstring empty;
    auto it = record.find(name);
    return it == record.end() ? empty : it->second;
}

std::vector<MemoryModule> MemoryFromRecords(const HardwareRecords& records) {
    std::vector<MemoryModule> modules;
    for (const HardwareRecord& r : records)
        modules.push_back(
            {Property(r, L"Manufacturer"), Property(r, L"SerialNumber"), MebibytesFromText(Property(r, L"Capacity"))});
    return modules;
}

std::vector<DiskDrive> DisksFromRecords(const HardwareRecords& records) {
    std::vector<DiskDrive> disks;
    for (const HardwareRecord& r : records)
        disks.push_back({Property(r, L"Model"), Property(r, L"SerialNumber"), GibibytesFromText(Property(r, L"Size"))});
    return disks;
}

BaseBoard BoardFromRecords(const HardwareRecords& records) {
    if (records.empty())
        return {};
    return {Property(records.front(), L"SerialNumber"), Property(records.front(), L"Product")};
}

Processor ProcessorFromRecords(const HardwareRecords& records) {
    if (records.empty())
        return {};
    const HardwareRecord& r = records.front();
    return {ParseLeadingInt(Property(r, L"NumberOfCores")), Property(r, L"ProcessorId"), Property(r, L"Name")};
}

std::vector<VideoAdapter> VideoFromRecords(const HardwareRecords& records) {
    std::vector<VideoAdapter> adapters;
    for (const HardwareRecord& r : records)
        adapters.push_back({Property(r, L"Name"), MebibytesFromText(Property(r, L"AdapterRAM"))});
    return adapters;
}

} // namespace Tallywick
