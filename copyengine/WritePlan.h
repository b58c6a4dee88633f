// How the writer writes one file: the choice between buffered and unbuffered
// writes, and the arithmetic of lengths and piece sizes.
#pragma once

#include <cstdint>

#include "RingLayout.h"

constexpr uint32_t kKindNtfs = 1;
constexpr uint32_t kKindOtherLocal = 2;
constexpr uint32_t kKindNetwork = 3;
constexpr uint32_t kMaxPiece = 8u * 1024 * 1024;
constexpr uint32_t kMiB = 1024 * 1024;
// The largest write request. Chunks stay up to kMaxPiece, so that reads are
// few, but each is written in requests of at most 1 MiB. On the virtual
// machines measured (they hand free memory back to their host in 2 MiB
// blocks), writes of 2 MiB or more into the file cache ran at a tenth of
// their speed from start to end in about one run in three; 1 MiB writes
// never did, and were as fast as 8 MiB ones otherwise.
constexpr uint32_t kMaxWritePiece = kMiB;

struct WriteMode {
    bool unbuffered;
    bool trim; // the last piece is padded to a sector and cut back afterwards
};

// Files this large are written unbuffered even when their size is not a whole
// number of sectors.
inline uint32_t WriteAlignThreshold(uint32_t destinationKind) {
    return destinationKind == kKindNtfs ? 65536u : 131072u;
}

inline WriteMode ChooseWriteMode(uint32_t destinationKind, uint64_t size, uint32_t destinationSector) {
    if (destinationKind == kKindNetwork)
        return {false, false};
    bool wholeSectors = destinationSector != 0 && size % destinationSector == 0;
    bool unbuffered = size >= WriteAlignThreshold(destinationKind) || wholeSectors;
    return {unbuffered, unbuffered && !wholeSectors};
}

// Bytes to write from a chunk when `remaining` bytes of the file are left.
inline uint32_t WriteLength(uint32_t dataLength, int64_t remaining, bool unbuffered, uint32_t destinationSector) {
    if (remaining >= int64_t(dataLength))
        return dataLength;
    uint64_t length = uint64_t(remaining);
    return static_cast<uint32_t>(unbuffered ? RoundUp(length, destinationSector) : length);
}

// The smaller maximum piece after the system ran short of resources, or 0
// when a request of `length` cannot be made smaller than 1 MiB.
inline uint32_t LowerMaxPiece(uint32_t maxPiece, uint32_t length) {
    uint32_t current = length < maxPiece ? length : maxPiece;
    if (current <= kMiB)
        return 0;
    return (maxPiece - 1) / kMiB * kMiB;
}
