// Building the disk identity text from what a drive or WMI reports. Plain
// data in, text out; no system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kIdentifyRequestSize = 32;
constexpr size_t kIdentifyReplySize = 528;
constexpr size_t kVersionReplySize = 24;
constexpr uint32_t kCapabilityAtaIdentify = 0x1;

// Capabilities word of a 24-byte SMART version reply.
uint32_t SmartCapabilities(const uint8_t* versionReply);

// Drives 0..3 are skipped when the capability bit (0x10 >> n) is set.
bool IsDriveSkipped(uint32_t capabilities, int drive);

// Fills the 32-byte IDENTIFY DEVICE request for the given drive number.
void BuildIdentifyRequest(uint8_t* request, int drive);

// Model (first 4 characters), firmware (first 4) and serial number (first 20)
// from a 528-byte IDENTIFY reply, each word's bytes exchanged, concatenated.
std::string FormatIdentifyReply(const uint8_t* reply, size_t size);

// The WMI form: the fields at offsets 0, 4 and 8 of a 28-character text,
// padded with spaces.
std::string FormatWmiDiskIdentity(const std::string& model, const std::string& firmware, const std::string& serial);

std::wstring RemoveSpaces(std::wstring text);
