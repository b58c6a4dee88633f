#include "RingLayout.h"

#include <algorithm>

ChunkPlacement PlaceChunk(size_t ringSize, size_t writePos, uint32_t sector, uint32_t headerBytes, uint64_t remaining,
                          uint32_t maxPiece) {
    uint64_t want = std::min<uint64_t>(remaining, maxPiece);
    ChunkPlacement chunk{};
    chunk.dataLength = static_cast<uint32_t>(RoundUp(want, sector));
    chunk.headerSize = static_cast<uint32_t>(RoundUp(headerBytes, 8));
    chunk.total = size_t(chunk.dataLength) + chunk.headerSize;
    size_t candidate = want > 0 ? static_cast<size_t>(RoundUp(writePos, sector)) : writePos;
    chunk.start = (candidate > ringSize || chunk.total > ringSize - candidate) ? 0 : candidate;
    return chunk;
}

bool IsChunkSpaceFree(const ChunkPlacement& chunk, size_t readPos, size_t writePos, bool queueEmpty) {
    if (queueEmpty)
        return true;
    if (chunk.start == 0)
        return readPos < writePos && readPos >= chunk.total;
    return readPos < writePos || chunk.start + chunk.total <= readPos;
}
