#include "ContentHash.h"

#include <windows.h>
#include <zlib.h>

namespace {

bool HasSse2() {
#if defined(_M_X64) || defined(__x86_64__)
    return true;
#else
    static const bool present = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;
    return present;
#endif
}

} // namespace

ContentHash::ContentHash() : fast_(HasSse2()) {
    if (fast_)
        xxh_ = ContentHashXxh3::Create();
    Reset();
}

ContentHash::~ContentHash() {
    if (xxh_)
        ContentHashXxh3::Destroy(xxh_);
}

void ContentHash::Reset() {
    if (xxh_)
        ContentHashXxh3::Reset(xxh_);
    crc_ = static_cast<uint32_t>(crc32(0, Z_NULL, 0));
}

void ContentHash::Add(const void* data, size_t length) {
    if (length == 0)
        return;
    if (fast_) {
        if (xxh_)
            ContentHashXxh3::Update(xxh_, data, length);
        return;
    }
    const auto* bytes = static_cast<const Bytef*>(data);
    while (length > 0) {
        const uInt piece = static_cast<uInt>(length > 0x40000000u ? 0x40000000u : length);
        crc_ = static_cast<uint32_t>(crc32(crc_, bytes, piece));
        bytes += piece;
        length -= piece;
    }
}

uint64_t ContentHash::Value() const {
    if (fast_)
        return xxh_ ? ContentHashXxh3::Digest(xxh_) : 0;
    return crc_;
}
