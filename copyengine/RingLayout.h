// Where the next chunk goes in the staging ring, and whether its space is
// free yet. Offsets are relative to the ring's (page-aligned) base.
#pragma once

#include <cstddef>
#include <cstdint>

// The engine's staging ring: 32 MiB of chunks and 16 KiB for their headers.
constexpr size_t kStagingRingBytes = 32u * 1024 * 1024 + 16 * 1024;

struct ChunkPlacement {
    size_t start;        // offset of the chunk's data; its header follows the data
    uint32_t dataLength; // bytes reserved for data, a whole number of sectors
    uint32_t headerSize; // header plus anything carried after it, a multiple of 8
    size_t total;        // dataLength + headerSize
};

inline uint64_t RoundUp(uint64_t value, uint64_t multiple) {
    return multiple == 0 ? value : (value + multiple - 1) / multiple * multiple;
}

// A chunk for headerBytes of header and up to maxPiece of the remaining bytes.
// Data starts on a sector boundary; a chunk that does not fit before the ring's
// end starts at the ring's start.
ChunkPlacement PlaceChunk(size_t ringSize, size_t writePos, uint32_t sector, uint32_t headerBytes, uint64_t remaining,
                          uint32_t maxPiece);

// The writer releases chunks in queue order and readPos is the end of the last
// one released; writePos is where the last reservation ended. An empty queue
// means nothing in the ring is in use.
bool IsChunkSpaceFree(const ChunkPlacement& chunk, size_t readPos, size_t writePos, bool queueEmpty);

// The read position to keep once `chunk` is reserved. With nothing queued the
// whole ring is free, whatever the last release left behind: a new file puts
// both positions back to the start while the previous file's chunks are still
// being released, and a read position left past the new file's first chunk
// would let a later chunk wrap onto chunks still queued.
inline size_t ReadPosAfterReserve(const ChunkPlacement& chunk, size_t readPos, bool queueEmpty) {
    return queueEmpty ? chunk.start : readPos;
}
