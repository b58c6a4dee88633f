// The machine description carried by every statistics document, and how it is
// read from the records of the five WMI classes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Tallywick {

// One instance of a WMI class: property name -> text. A property that could not
// be read is missing; looking it up gives the empty text.
using HardwareRecord = std::map<std::wstring, std::wstring>;
using HardwareRecords = std::vector<HardwareRecord>;

struct HardwareClass {
    const wchar_t* classText; // appended to "SELECT * FROM " as it stands
    std::vector<const wchar_t*> properties;
};

const HardwareClass& BaseBoardClass();
const HardwareClass& ProcessorClass();
const HardwareClass& PhysicalMemoryClass();
const HardwareClass& VideoControllerClass();
const HardwareClass& DiskDriveClass();

struct MemoryModule {
    std::wstring manufacturer;
    std::wstring serialNumber;
    int32_t sizeMiB = 0;
};

struct DiskDrive {
    std::wstring model;
    std::wstring serialNumber;
    int32_t sizeGiB = 0;
};

struct BaseBoard {
    std::wstring serialNumber;
    std::wstring product;
};

struct Processor {
    int cores = 0;
    std::wstring processorId;
    std::wstring name;
};

struct VideoAdapter {
    std::wstring name;
    int32_t sizeMiB = 0;
};

struct MachineProfile {
    std::string screenSize;   // "1920*1080"
    std::string osVersion;    // "6.1.1", empty when unknown
    std::string localAddress; // dotted IPv4
    std::wstring device;      // disk identity without spaces
    std::string macDigest;    // MD5 of the adapter list, lower-case hex
    std::vector<MemoryModule> memory;
    std::vector<DiskDrive> disks;
    BaseBoard board;
    Processor cpu;
    std::vector<VideoAdapter> video;
};

const std::wstring& Property(const HardwareRecord& record, const wchar_t* name);

std::vector<MemoryModule> MemoryFromRecords(const HardwareRecords& records);
std::vector<DiskDrive> DisksFromRecords(const HardwareRecords& records);
BaseBoard BoardFromRecords(const HardwareRecords& records);
Processor ProcessorFromRecords(const HardwareRecords& records);
std::vector<VideoAdapter> VideoFromRecords(const HardwareRecords& records);

} // namespace Tallywick
