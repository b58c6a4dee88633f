// Which drive is asked for its IDENTIFY data, and when the search gives up.
// The driver calls are behind SmartDevice so the walk runs on given answers.
#pragma once

#include <cstdint>
#include <string>

class SmartDevice {
public:
    virtual ~SmartDevice() = default;
    // Opens the device for drive number n (0-3), closing one opened before.
    virtual bool Open(int drive) = 0;
    // SMART_GET_VERSION into a 24-byte reply.
    virtual bool GetVersion(uint8_t* versionReply) = 0;
    // SMART_RCV_DRIVE_DATA with a 32-byte request into a 528-byte reply.
    virtual bool ReceiveDriveData(const uint8_t* request, uint8_t* reply) = 0;
};

// Physical drives 0-3, each opened on its own: a drive that does not open or
// answer the version query is passed over, one without IDENTIFY support ends
// the search, a drive whose capability bit (0x10 >> n) is set is skipped.
bool IdentifyFromPhysicalDrives(SmartDevice& drives, std::string& text);

// The old SMART driver: one device answering for the first drive not skipped.
bool IdentifyFromSmartDriver(SmartDevice& driver, std::string& text);
