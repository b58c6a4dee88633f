#include "DriveIdentification.h"

#include "DiskIdentityFormat.h"

namespace {

bool QueryCapabilities(SmartDevice& device, uint32_t& capabilities) {
    uint8_t reply[kVersionReplySize] = {};
    if (!device.GetVersion(reply))
        return false;
    capabilities = SmartCapabilities(reply);
    return true;
}

bool IdentifyDrive(SmartDevice& device, int drive, std::string& text) {
    uint8_t request[kIdentifyRequestSize] = {};
    uint8_t reply[kIdentifyReplySize] = {};
    BuildIdentifyRequest(request, drive);
    if (!device.ReceiveDriveData(request, reply))
        return false;
    text = FormatIdentifyReply(reply, sizeof reply);
    return true;
}

} // namespace

bool IdentifyFromPhysicalDrives(SmartDevice& drives, std::string& text) {
    for (int drive = 0; drive < 4; ++drive) {
        if (!drives.Open(drive))
            continue;
        uint32_t capabilities = 0;
        if (!QueryCapabilities(drives, capabilities))
            continue;
        if ((capabilities & kCapabilityAtaIdentify) == 0)
            return false;
        if (IsDriveSkipped(capabilities, drive))
            continue;
        return IdentifyDrive(drives, drive, text);
    }
    return false;
}

bool IdentifyFromSmartDriver(SmartDevice& driver, std::string& text) {
    if (!driver.Open(0))
        return false;
    uint32_t capabilities = 0;
    if (!QueryCapabilities(driver, capabilities) || (capabilities & kCapabilityAtaIdentify) == 0)
        return false;
    for (int drive = 0; drive < 4; ++drive) {
        if (!IsDriveSkipped(capabilities, drive))
            return IdentifyDrive(driver, drive, text);
    }
    return false;
}
