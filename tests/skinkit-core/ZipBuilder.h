// Writes small ZIP archives in memory for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ZipItem {
    std::string name;
    std::vector<uint8_t> data;
    bool deflate = false;
    uint16_t flags = 0;
};

std::vector<uint8_t> BuildZip(const std::vector<ZipItem>& items);

std::vector<uint8_t> Bytes(const std::string& text);
