// In-memory ZIP reader for the skin package: end-of-central-directory search,
// central directory walk, stored and deflated entries (raw inflate from zlib).
// Never reads outside the buffer it was given; corrupt archives are failures.
// Pure C++ (zlib only).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SkinKit {

// Largest skin file (markup or image) the toolkit reads.
constexpr size_t kMaxSkinFileSize = 4194304;

// Longest entry name a lookup can use (bytes, after conversion to narrow text).
constexpr size_t kMaxZipNameLength = 255;

enum class ZipResult {
    Ok,
    NotFound, // no entry of that name
    Empty,    // the entry has size 0
    TooLarge, // the entry is larger than the limit
    BadEntry, // corrupt, truncated, encrypted or unsupported entry data
};

class CZipArchive {
public:
    struct Entry {
        std::string name; // as stored (narrow text)
        uint16_t flags = 0;
        uint16_t method = 0; // 0 stored, 8 deflated
        uint32_t crc = 0;
        uint32_t compressedSize = 0;
        uint32_t uncompressedSize = 0;
        uint32_t localHeaderOffset = 0;
    };

    CZipArchive() = default;
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    // Reads the central directory of an archive held by the caller; the buffer
    // must outlive the archive. False (and closed) when the directory is missing,
    // truncated or points outside the buffer.
    bool Open(const void* data, size_t size);
    // Same, over a buffer the archive takes over.
    bool Open(std::vector<uint8_t>&& owned);
    void Close();
    bool IsOpen() const { return m_data != nullptr; }

    const std::vector<Entry>& Entries() const { return m_entries; }

    // First entry, in directory order, whose name equals `name` ignoring ASCII
    // case, with every backslash in `name` taken as a forward slash. Names longer
    // than kMaxZipNameLength are never found. Entries flagged as having UTF-8
    // names are compared with `utf8Name` instead, when it is given (archivers
    // store non-ASCII names that way). Either name may be null.
    const Entry* Find(const char* name, const char* utf8Name = nullptr) const;

    // Extracts an entry completely; checks sizes and CRC.
    ZipResult Extract(const Entry& entry, std::vector<uint8_t>& out, size_t limit = kMaxSkinFileSize) const;

    // Find + Extract.
    ZipResult ReadFile(const char* name, std::vector<uint8_t>& out, size_t limit = kMaxSkinFileSize,
                       const char* utf8Name = nullptr) const;

private:
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    std::vector<uint8_t> m_owned;
    std::vector<Entry> m_entries;
};

// ASCII case-insensitive comparison of a stored entry name with a lookup name
// whose backslashes count as forward slashes.
bool ZipNameEquals(const std::string& stored, const char* lookup);

} // namespace SkinKit
