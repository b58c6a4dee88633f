#include "DiskIdentityFormat.h"
#include "DriveIdentification.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Writes text into an IDENTIFY field the way a drive stores it: the first
// character of each word in its high byte, padded with spaces.
void PutAtaString(uint8_t* reply, size_t word, size_t bytes, const char* text) {
    uint8_t* field = reply + 16 + 2 * word;
    for (size_t i = 0; i < bytes; ++i) {
        const char c = i < std::strlen(text) ? text[i] : ' ';
        field[i ^ 1] = static_cast<uint8_t>(c);
    }
}

std::string CraftedIdentity(const char* model, const char* firmware, const char* serial) {
    uint8_t reply[kIdentifyReplySize] = {};
    PutAtaString(reply, 27, 40, model);
    PutAtaString(reply, 23, 8, firmware);
    PutAtaString(reply, 10, 20, serial);
    return FormatIdentifyReply(reply, sizeof reply);
}

} // namespace

TEST(DiskIdentity, IdentifyReplyGivesModelFirmwareSerialWithoutSpaces) {
    const std::string text = CraftedIdentity("ABC DISK 2000", "1.02abc", "  SN0001");
    EXPECT_EQ(text, "ABC 1.02  SN0001            ");
    EXPECT_EQ(RemoveSpaces(std::wstring(text.begin(), text.end())), L"ABC1.02SN0001");
}

TEST(DiskIdentity, IdentifyFieldsEndAtZeroAndShortRepliesGiveNothing) {
    uint8_t reply[kIdentifyReplySize] = {};
    PutAtaString(reply, 27, 40, "WD");
    reply[16 + 2 * 27 + 3] = 0; // third model character is a zero
    PutAtaString(reply, 23, 8, "FW");
    std::memset(reply + 16 + 2 * 10, 0, 20); // no serial
    EXPECT_EQ(FormatIdentifyReply(reply, sizeof reply), "WDFW  ");
    EXPECT_EQ(FormatIdentifyReply(reply, 527), "");
}

TEST(DiskIdentity, IdentifyRequestAndDriveSelection) {
    uint8_t request[kIdentifyRequestSize];
    std::memset(request, 0x55, sizeof request);
    BuildIdentifyRequest(request, 1);
    const uint8_t expected[kIdentifyRequestSize] = {0x00, 0x02, 0, 0, 0, 1, 1, 0, 0, 0xB0, 0xEC, 0, 1};
    EXPECT_EQ(std::memcmp(request, expected, sizeof request), 0);
    BuildIdentifyRequest(request, 2);
    EXPECT_EQ(request[9], 0xA0);
    EXPECT_EQ(request[12], 2);

    // Bit 0x10 of the capabilities skips drive 0 and leaves drive 1.
    const uint8_t version[kVersionReplySize] = {1, 1, 0, 0x0F, 0x11, 0, 0, 0};
    const uint32_t capabilities = SmartCapabilities(version);
    EXPECT_EQ(capabilities, 0x11u);
    EXPECT_TRUE(IsDriveSkipped(capabilities, 0));
    EXPECT_FALSE(IsDriveSkipped(capabilities, 1));
    EXPECT_TRUE(IsDriveSkipped(0x02, 3));
    EXPECT_FALSE(IsDriveSkipped(0x02, 2));
}

namespace {

// Drives 0-3 answering as configured; records what the walk asked.
class FakeDrives : public SmartDevice {
public:
    bool opens[4] = {true, true, true, true};
    bool answersVersion[4] = {true, true, true, true};
    uint32_t capabilities[4] = {1, 1, 1, 1};
    bool answersIdentify = true;
    std::vector<int> opened;
    std::vector<int> identified; // drive numbers found in the requests

    bool Open(int drive) override {
        opened.push_back(drive);
        current_ = drive;
        return opens[drive];
    }
    bool GetVersion(uint8_t* reply) override {
        std::memset(reply, 0, kVersionReplySize);
        std::memcpy(reply + 4, &capabilities[current_], 4);
        return answersVersion[current_];
    }
    bool ReceiveDriveData(const uint8_t* request, uint8_t* reply) override {
        identified.push_back(request[12]);
        EXPECT_EQ(request[9], request[12] & 1 ? 0xB0 : 0xA0);
        std::memset(reply, 0, kIdentifyReplySize);
        PutAtaString(reply, 27, 40, "MDL");
        PutAtaString(reply, 23, 8, "FW");
        PutAtaString(reply, 10, 20, "SERIAL");
        return answersIdentify;
    }

private:
    int current_ = 0;
};

} // namespace

TEST(DiskIdentity, PhysicalDriveWalk) {
    FakeDrives skipFirst;
    skipFirst.capabilities[0] = 0x11; // IDENTIFY supported, drive 0 skipped
    std::string text;
    EXPECT_TRUE(IdentifyFromPhysicalDrives(skipFirst, text));
    EXPECT_EQ(skipFirst.identified, std::vector<int>{1});
    EXPECT_EQ(text, "MDL FW  SERIAL              ");

    // Unopenable and silent drives are passed over; one without IDENTIFY support ends the walk.
    FakeDrives stop;
    stop.opens[0] = false;
    stop.answersVersion[1] = false;
    stop.capabilities[2] = 0x10;
    text = "unchanged";
    EXPECT_FALSE(IdentifyFromPhysicalDrives(stop, text));
    EXPECT_EQ(stop.opened, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(stop.identified.empty());
    EXPECT_EQ(text, "unchanged");

    FakeDrives refuses;
    refuses.answersIdentify = false;
    EXPECT_FALSE(IdentifyFromPhysicalDrives(refuses, text));
    EXPECT_EQ(refuses.opened, std::vector<int>{0});
    EXPECT_EQ(text, "unchanged");
}

TEST(DiskIdentity, SmartDriverAsksFirstDriveNotSkipped) {
    FakeDrives driver;
    driver.capabilities[0] = 0x1 | 0x10 | 0x08;
    std::string text;
    EXPECT_TRUE(IdentifyFromSmartDriver(driver, text));
    EXPECT_EQ(driver.opened, std::vector<int>{0});
    EXPECT_EQ(driver.identified, std::vector<int>{2});

    FakeDrives allSkipped;
    allSkipped.capabilities[0] = 0x1F;
    EXPECT_FALSE(IdentifyFromSmartDriver(allSkipped, text));
    FakeDrives noIdentify;
    noIdentify.capabilities[0] = 0x10;
    EXPECT_FALSE(IdentifyFromSmartDriver(noIdentify, text));
    EXPECT_TRUE(noIdentify.identified.empty());
}

TEST(DiskIdentity, WmiTextPadsFieldsToFixedOffsets) {
    EXPECT_EQ(FormatWmiDiskIdentity("Wine Disk Drive", "", "WINEHDISK"), "Wine    WINEHDISK           ");
    EXPECT_EQ(FormatWmiDiskIdentity("AB", "1.0", "012345678901234567890123"), "AB  1.0 01234567890123456789");
}
