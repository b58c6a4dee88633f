#include "ZipBuilder.h"

#include <zlib.h>

#include <cstring>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

std::vector<uint8_t> RawDeflate(const std::vector<uint8_t>& data) {
    z_stream s;
    std::memset(&s, 0, sizeof(s));
    deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&s, static_cast<uLong>(data.size())) + 16);
    s.next_in = const_cast<Bytef*>(data.data());
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

} // namespace

std::vector<uint8_t> BuildZip(const std::vector<ZipItem>& items) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> directory;
    for (const ZipItem& item : items) {
        std::vector<uint8_t> stored = item.deflate ? RawDeflate(item.data) : item.data;
        uint32_t crc = crc32(crc32(0, Z_NULL, 0), item.data.data(), static_cast<uInt>(item.data.size()));
        uint32_t offset = static_cast<uint32_t>(out.size());
        uint16_t method = item.deflate ? 8 : 0;

        Put32(out, 0x04034b50);
        Put16(out, 20);
        Put16(out, item.flags);
        Put16(out, method);
        Put32(out, 0); // time and date
        Put32(out, crc);
        Put32(out, static_cast<uint32_t>(stored.size()));
        Put32(out, static_cast<uint32_t>(item.data.size()));
        Put16(out, static_cast<uint32_t>(item.name.size()));
        Put16(out, 0);
        out.insert(out.end(), item.name.begin(), item.name.end());
        out.insert(out.end(), stored.begin(), stored.end());

        Put32(directory, 0x02014b50);
        Put16(directory, 20);
        Put16(directory, 20);
        Put16(directory, item.flags);
        Put16(directory, method);
        Put32(directory, 0);
        Put32(directory, crc);
        Put32(directory, static_cast<uint32_t>(stored.size()));
        Put32(directory, static_cast<uint32_t>(item.data.size()));
        Put16(directory, static_cast<uint32_t>(item.name.size()));
        Put16(directory, 0); // extra
        Put16(directory, 0); // comment
        Put16(directory, 0); // disk
        Put16(directory, 0); // internal attributes
        Put32(directory, 0); // external attributes
        Put32(directory, offset);
        directory.insert(directory.end(), item.name.begin(), item.name.end());
    }
    uint32_t directoryOffset = static_cast<uint32_t>(out.size());
    out.insert(out.end(), directory.begin(), directory.end());
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(items.size()));
    Put16(out, static_cast<uint32_t>(items.size()));
    Put32(out, static_cast<uint32_t>(directory.size()));
    Put32(out, directoryOffset);
    Put16(out, 0);
    return out;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}
