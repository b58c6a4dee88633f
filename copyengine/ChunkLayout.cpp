#include "ChunkLayout.h"

#include <cstring>

#include "RingLayout.h"

uint32_t MaxFirstChunkHeaderBytes(const RecordGeometry& geometry, size_t pathCapacity) {
    const uint64_t path = RoundUp(uint64_t(pathCapacity) * 2, 8);
    return static_cast<uint32_t>(geometry.chunkHeaderBytes + sizeof(FirstChunkSizes) +
                                 RoundUp(geometry.recordBytes, 8) + 2 * path);
}

bool LayoutFirstChunk(uint32_t chunkHeaderBytes, uint32_t recordBytes, size_t destinationBytes, size_t sourceBytes,
                      FirstChunkLayout* layout) {
    const uint64_t sizesOffset = RoundUp(chunkHeaderBytes, 8);
    const uint64_t recordOffset = sizesOffset + sizeof(FirstChunkSizes);
    const uint64_t destinationOffset = recordOffset + RoundUp(recordBytes, 8);
    const uint64_t sourceOffset = destinationOffset + RoundUp(destinationBytes, 8);
    const uint64_t end = sourceOffset + RoundUp(sourceBytes, 8);
    if (end > UINT32_MAX)
        return false;
    layout->sizesOffset = static_cast<uint32_t>(sizesOffset);
    layout->recordOffset = static_cast<uint32_t>(recordOffset);
    layout->destinationOffset = static_cast<uint32_t>(destinationOffset);
    layout->sourceOffset = static_cast<uint32_t>(sourceOffset);
    layout->headerBytes = static_cast<uint32_t>(end);
    layout->sizes = {static_cast<uint32_t>(RoundUp(recordBytes, 8)), static_cast<uint32_t>(destinationBytes),
                     static_cast<uint32_t>(sourceBytes), 0};
    return true;
}

void StoreFirstChunk(unsigned char* header, const FirstChunkLayout& layout, const void* record, const void* destination,
                     const void* source) {
    memset(header + layout.sizesOffset, 0, layout.headerBytes - layout.sizesOffset);
    memcpy(header + layout.sizesOffset, &layout.sizes, sizeof layout.sizes);
    memcpy(header + layout.recordOffset, record, layout.sizes.recordBytes);
    memcpy(header + layout.destinationOffset, destination, layout.sizes.destinationBytes);
    memcpy(header + layout.sourceOffset, source, layout.sizes.sourceBytes);
}

bool LoadFirstChunk(const unsigned char* header, uint32_t chunkHeaderBytes, uint32_t headerSize, void* record,
                    size_t recordMinimum, size_t recordCapacity, size_t unitBytes, FirstChunkView* view) {
    const uint32_t sizesOffset = static_cast<uint32_t>(RoundUp(chunkHeaderBytes, 8));
    if (headerSize < sizesOffset || headerSize - sizesOffset < sizeof(FirstChunkSizes) || unitBytes == 0)
        return false;
    FirstChunkSizes sizes;
    memcpy(&sizes, header + sizesOffset, sizeof sizes);
    FirstChunkLayout layout;
    if (!LayoutFirstChunk(chunkHeaderBytes, sizes.recordBytes, sizes.destinationBytes, sizes.sourceBytes, &layout) ||
        layout.headerBytes > headerSize || sizes.recordBytes < recordMinimum || sizes.recordBytes > recordCapacity ||
        sizes.destinationBytes == 0 || sizes.sourceBytes == 0 || sizes.destinationBytes % unitBytes != 0 ||
        sizes.sourceBytes % unitBytes != 0)
        return false;
    // Each path must end in its terminator where its size says.
    const unsigned char* destinationEnd = header + layout.destinationOffset + sizes.destinationBytes - unitBytes;
    const unsigned char* sourceEnd = header + layout.sourceOffset + sizes.sourceBytes - unitBytes;
    for (size_t i = 0; i < unitBytes; ++i) {
        if (destinationEnd[i] != 0 || sourceEnd[i] != 0)
            return false;
    }
    memcpy(record, header + layout.recordOffset, sizes.recordBytes);
    memset(static_cast<unsigned char*>(record) + sizes.recordBytes, 0, recordCapacity - sizes.recordBytes);
    view->destination = header + layout.destinationOffset;
    view->destinationBytes = sizes.destinationBytes;
    view->source = header + layout.sourceOffset;
    view->sourceBytes = sizes.sourceBytes;
    return true;
}
