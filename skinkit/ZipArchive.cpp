#include "ZipArchive.h"

#include <zlib.h>

#include <cstring>

namespace SkinKit {

namespace {

const uint32_t kEndOfDirectorySignature = 0x06054b50;
const uint32_t kDirectoryEntrySignature = 0x02014b50;
const uint32_t kLocalHeaderSignature = 0x04034b50;
const size_t kEndOfDirectorySize = 22;
const size_t kDirectoryEntrySize = 46;
const size_t kLocalHeaderSize = 30;
const size_t kMaxCommentSize = 0xFFFF;

uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

char FoldChar(char c) {
    if (c == '\\')
        return '/';
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c;
}

// Whether [offset, offset + length) lies inside a buffer of `size` bytes.
bool InBounds(size_t offset, size_t length, size_t size) {
    return offset <= size && length <= size - offset;
}

} // namespace

bool ZipNameEquals(const std::string& stored, const char* lookup) {
    if (!lookup)
        return false;
    size_t n = std::strlen(lookup);
    if (n != stored.size())
        return false;
    for (size_t i = 0; i < n; ++i)
        if (FoldChar(stored[i]) != FoldChar(lookup[i]))
            return false;
    return true;
}

bool CZipArchive::Open(std::vector<uint8_t>&& owned) {
    std::vector<uint8_t> keep = std::move(owned);
    if (!Open(keep.data(), keep.size()))
        return false;
    // Moving the vector keeps its buffer where it is, so m_data stays valid.
    m_owned = std::move(keep);
    return true;
}

bool CZipArchive::Open(const void* data, size_t size) {
    Close();
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::vector<Entry> entries;
    if (!bytes || size < kEndOfDirectorySize)
        return false;

    // The end record is the last thing in the file, followed only by its comment.
    size_t lowest = size - kEndOfDirectorySize > kMaxCommentSize ? size - kEndOfDirectorySize - kMaxCommentSize : 0;
    size_t end = size - kEndOfDirectorySize;
    bool found = false;
    for (size_t pos = end + 1; pos-- > lowest;) {
        if (Read32(bytes + pos) == kEndOfDirectorySignature &&
            pos + kEndOfDirectorySize + Read16(bytes + pos + 20) <= size) {
            end = pos;
            found = true;
            break;
        }
    }
    if (!found) {
        return false;
    }
    const uint8_t* eocd = bytes + end;
    uint16_t disk = Read16(eocd + 4);
    uint16_t directoryDisk = Read16(eocd + 6);
    uint16_t entriesOnDisk = Read16(eocd + 8);
    uint16_t entryCount = Read16(eocd + 10);
    uint32_t directorySize = Read32(eocd + 12);
    uint32_t directoryOffset = Read32(eocd + 16);
    if (disk != 0 || directoryDisk != 0 || entriesOnDisk != entryCount ||
        !InBounds(directoryOffset, directorySize, end)) {
        return false;
    }

    size_t pos = directoryOffset;
    size_t directoryEnd = static_cast<size_t>(directoryOffset) + directorySize;
    entries.reserve(entryCount);
    for (uint16_t i = 0; i < entryCount; ++i) {
        if (!InBounds(pos, kDirectoryEntrySize, directoryEnd) || Read32(bytes + pos) != kDirectoryEntrySignature) {
            return false;
        }
        const uint8_t* record = bytes + pos;
        uint16_t nameLength = Read16(record + 28);
        uint16_t extraLength = Read16(record + 30);
        uint16_t commentLength = Read16(record + 32);
        size_t recordLength = kDirectoryEntrySize + nameLength + extraLength + commentLength;
        if (!InBounds(pos, recordLength, directoryEnd)) {
            return false;
        }
        Entry entry;
        entry.flags = Read16(record + 8);
        entry.method = Read16(record + 10);
        entry.crc = Read32(record + 16);
        entry.compressedSize = Read32(record + 20);
        entry.uncompressedSize = Read32(record + 24);
        entry.localHeaderOffset = Read32(record + 42);
        entry.name.assign(reinterpret_cast<const char*>(record + kDirectoryEntrySize), nameLength);
        entries.push_back(std::move(entry));
        pos += recordLength;
    }

    m_data = bytes;
    m_size = size;
    m_entries = std::move(entries);
    return true;
}

void CZipArchive::Close() {
    m_data = nullptr;
    m_size = 0;
    m_owned.clear();
    m_owned.shrink_to_fit();
    m_entries.clear();
}

const CZipArchive::Entry* CZipArchive::Find(const char* name, const char* utf8Name) const {
    const uint16_t kUtf8NameFlag = 1 << 11;
    if (name && std::strlen(name) > kMaxZipNameLength)
        name = nullptr;
    if (utf8Name && std::strlen(utf8Name) > kMaxZipNameLength)
        utf8Name = nullptr;
    for (const Entry& entry : m_entries) {
        const char* wanted = (entry.flags & kUtf8NameFlag) != 0 && utf8Name ? utf8Name : name;
        if (wanted && ZipNameEquals(entry.name, wanted))
            return &entry;
    }
    return nullptr;
}

ZipResult CZipArchive::Extract(const Entry& entry, std::vector<uint8_t>& out, size_t limit) const {
    out.clear();
    if (!IsOpen())
        return ZipResult::BadEntry;
    if (entry.uncompressedSize == 0)
        return ZipResult::Empty;
    if (entry.uncompressedSize > limit)
        return ZipResult::TooLarge;
    if ((entry.flags & 1) != 0) // encrypted
        return ZipResult::BadEntry;

    size_t header = entry.localHeaderOffset;
    if (!InBounds(header, kLocalHeaderSize, m_size) || Read32(m_data + header) != kLocalHeaderSignature)
        return ZipResult::BadEntry;
    size_t dataOffset = header + kLocalHeaderSize + Read16(m_data + header + 26) + Read16(m_data + header + 28);
    if (!InBounds(dataOffset, entry.compressedSize, m_size))
        return ZipResult::BadEntry;
    const uint8_t* source = m_data + dataOffset;

    std::vector<uint8_t> data(entry.uncompressedSize);
    if (entry.method == 0) {
        if (entry.compressedSize != entry.uncompressedSize)
            return ZipResult::BadEntry;
        std::memcpy(data.data(), source, entry.uncompressedSize);
    } else if (entry.method == Z_DEFLATED) {
        z_stream stream;
        std::memset(&stream, 0, sizeof(stream));
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            return ZipResult::BadEntry;
        stream.next_in = const_cast<Bytef*>(source);
        stream.avail_in = entry.compressedSize;
        stream.next_out = data.data();
        stream.avail_out = entry.uncompressedSize;
        int status = inflate(&stream, Z_FINISH);
        uLong produced = stream.total_out;
        inflateEnd(&stream);
        // Anything but a complete stream of exactly the declared size is corrupt:
        // a stream that stops early (Z_BUF_ERROR), one that needs more output than
        // declared, or bad data (Z_DATA_ERROR).
        if (status != Z_STREAM_END || produced != entry.uncompressedSize)
            return ZipResult::BadEntry;
    } else {
        return ZipResult::BadEntry;
    }

    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    if (crc != entry.crc)
        return ZipResult::BadEntry;
    out.swap(data);
    return ZipResult::Ok;
}

ZipResult CZipArchive::ReadFile(const char* name, std::vector<uint8_t>& out, size_t limit, const char* utf8Name) const {
    out.clear();
    const Entry* entry = Find(name, utf8Name);
    if (!entry)
        return ZipResult::NotFound;
    return Extract(*entry, out, limit);
}

} // namespace SkinKit
