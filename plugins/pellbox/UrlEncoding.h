// Percent-encoding of bytes for use in a URL.
#pragma once

#include <cstdint>
#include <string>

// Control bytes and space, bytes 0x7B-0xFF and the URL delimiters are escaped.
bool IsEscapedUrlByte(uint8_t byte);

// Each escaped byte becomes "%" and two upper-case hexadecimal digits. The
// result holds at most limit characters: it ends before the first UTF-8
// character whose escapes would not all fit, never inside one.
std::string PercentEncode(const std::string& bytes, size_t limit = std::string::npos);
