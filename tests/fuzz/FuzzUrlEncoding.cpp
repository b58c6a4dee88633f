// Percent-encoding of arbitrary bytes: the result is plain URL text and
// decodes back to the input.
#include "UrlEncoding.h"

#include "FuzzText.h"

using FuzzText::Check;

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string encoded = PercentEncode(bytes);

    std::string decoded;
    for (size_t i = 0; i < encoded.size(); ++i) {
        const uint8_t c = static_cast<uint8_t>(encoded[i]);
        if (c == '%') {
            Check(i + 2 < encoded.size(), "cut escape");
            const int high = HexValue(encoded[i + 1]);
            const int low = HexValue(encoded[i + 2]);
            Check(high >= 0 && low >= 0, "escape is not two upper-case hex digits");
            const uint8_t byte = static_cast<uint8_t>(high << 4 | low);
            Check(IsEscapedUrlByte(byte), "escaped a byte that needs no escape");
            decoded += static_cast<char>(byte);
            i += 2;
        } else {
            Check(!IsEscapedUrlByte(c), "byte left unescaped");
            decoded += static_cast<char>(c);
        }
    }
    Check(decoded == bytes, "encoding does not decode to the input");
    return 0;
}
