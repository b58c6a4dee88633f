#include "UrlEncoding.h"

#include <cstring>

namespace {

const char kEscapedPunctuation[] = "\"<>%\\^[]`+$,@:;/!#?=&";
const char kHexDigits[] = "0123456789ABCDEF";

} // namespace

bool IsEscapedUrlByte(uint8_t byte) {
    if (byte <= 0x20 || byte >= 0x7B)
        return true;
    return std::strchr(kEscapedPunctuation, static_cast<char>(byte)) != nullptr;
}

std::string PercentEncode(const std::string& bytes) {
    std::string encoded;
    encoded.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const uint8_t byte = static_cast<uint8_t>(c);
        if (IsEscapedUrlByte(byte)) {
            encoded += '%';
            encoded += kHexDigits[byte >> 4];
            encoded += kHexDigits[byte & 0x0F];
        } else {
            encoded += c;
        }
    }
    return encoded;
}
