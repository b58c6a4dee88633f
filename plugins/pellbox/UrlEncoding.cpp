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

std::string PercentEncode(const std::string& bytes, size_t limit) {
    std::string encoded;
    encoded.reserve(bytes.size() * 3 < limit ? bytes.size() * 3 : limit);
    std::string character;
    size_t i = 0;
    while (i < bytes.size()) {
        // One character: a byte and the UTF-8 continuation bytes (10xxxxxx) after it.
        character.clear();
        do {
            const uint8_t byte = static_cast<uint8_t>(bytes[i]);
            if (IsEscapedUrlByte(byte)) {
                character += '%';
                character += kHexDigits[byte >> 4];
                character += kHexDigits[byte & 0x0F];
            } else {
                character += static_cast<char>(byte);
            }
            ++i;
        } while (i < bytes.size() && (static_cast<uint8_t>(bytes[i]) & 0xC0) == 0x80);
        if (character.size() > limit - encoded.size())
            break;
        encoded += character;
    }
    return encoded;
}
