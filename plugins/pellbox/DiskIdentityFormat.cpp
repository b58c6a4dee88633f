#include "DiskIdentityFormat.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kIdentifyDataOffset = 16;
constexpr size_t kSerialWord = 10, kSerialBytes = 20;
constexpr size_t kFirmwareWord = 23, kFirmwareBytes = 8;
constexpr size_t kModelWord = 27, kModelBytes = 40;

// Reads an ATA string field: each 16-bit word stores its first character in
// the high byte. The text ends at a zero byte or after maxChars characters.
std::string ReadAtaString(const uint8_t* reply, size_t word, size_t bytes, size_t maxChars) {
    std::string text;
    const uint8_t* field = reply + kIdentifyDataOffset + 2 * word;
    for (size_t i = 0; i < bytes && text.size() < maxChars; ++i) {
        const char c = static_cast<char>(field[i ^ 1]);
        if (c == '\0')
            break;
        text += c;
    }
    return text;
}

} // namespace

uint32_t SmartCapabilities(const uint8_t* versionReply) {
    return static_cast<uint32_t>(versionReply[4]) | static_cast<uint32_t>(versionReply[5]) << 8 |
           static_cast<uint32_t>(versionReply[6]) << 16 | static_cast<uint32_t>(versionReply[7]) << 24;
}

bool IsDriveSkipped(uint32_t capabilities, int drive) {
    return drive < 0 || drive > 3 || (capabilities & (0x10u >> drive)) != 0;
}

void BuildIdentifyRequest(uint8_t* request, int drive) {
    std::memset(request, 0, kIdentifyRequestSize);
    request[0] = 0x00; // buffer size 512, little-endian
    request[1] = 0x02;
    request[5] = 1;                                               // sector count
    request[6] = 1;                                               // sector number
    request[9] = static_cast<uint8_t>(0xA0 | ((drive & 1) << 4)); // drive/head
    request[10] = 0xEC;                                           // IDENTIFY DEVICE
    request[12] = static_cast<uint8_t>(drive);
}

std::string FormatIdentifyReply(const uint8_t* reply, size_t size) {
    if (!reply || size < kIdentifyReplySize)
        return {};
    return ReadAtaString(reply, kModelWord, kModelBytes, 4) + ReadAtaString(reply, kFirmwareWord, kFirmwareBytes, 4) +
           ReadAtaString(reply, kSerialWord, kSerialBytes, kSerialBytes);
}

std::string FormatWmiDiskIdentity(const std::string& model, const std::string& firmware, const std::string& serial) {
    char text[30];
    std::memset(text, ' ', sizeof text);
    std::memcpy(text, model.data(), std::min<size_t>(model.size(), 4));
    std::memcpy(text + 4, firmware.data(), std::min<size_t>(firmware.size(), 4));
    std::memcpy(text + 8, serial.data(), std::min<size_t>(serial.size(), 20));
    text[28] = '\0';
    return std::string(text); // a zero inside a field ends the text there
}

std::wstring RemoveSpaces(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L' '), text.end());
    return text;
}
