// Percent-encoding of bytes for use in a URL.
#pragma once

#include <cstdint>
#include <string>

// Control bytes and space, bytes 0x7B-0xFF and the URL delimiters are escaped.
bool IsEscapedUrlByte(uint8_t byte);

// Each escaped byte becomes "%" and two upper-case hexadecimal digits.
std::string PercentEncode(const std::string& bytes);
