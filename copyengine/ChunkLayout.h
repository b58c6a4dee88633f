// What a chunk carries in the staging ring besides its data. A chunk's header
// lies directly after its data; a file's first chunk carries, after the
// header, the sizes below, the file's record and its destination and source
// paths, each part a multiple of 8 bytes. The writer takes back exactly the
// bytes the reader stored: nothing is read or written past what a chunk
// reserved, whatever the record's type says its full size is.
#pragma once

#include <cstddef>
#include <cstdint>

// The sizes of what a first chunk carries, stored in the chunk itself.
struct FirstChunkSizes {
    uint32_t recordBytes;      // the record's fixed part and its name (terminated), rounded up to 8
    uint32_t destinationBytes; // the destination path with its terminator, as stored (unrounded)
    uint32_t sourceBytes;      // the source path with its terminator, as stored (unrounded)
    uint32_t reserved;
};

// Offsets from the start of a chunk's header.
struct FirstChunkLayout {
    uint32_t sizesOffset;
    uint32_t recordOffset;
    uint32_t destinationOffset;
    uint32_t sourceOffset;
    uint32_t headerBytes; // everything up to the end of the source path, rounded up to 8
    FirstChunkSizes sizes;
};

// The header and record geometry of one build: the engine's ChunkHeader and
// FileRecord differ between the 32-bit and the 64-bit build (pointers and
// handles). The engine checks at compile time that it is one of these.
struct RecordGeometry {
    uint32_t chunkHeaderBytes; // ChunkHeader rounded up to 8
    uint32_t recordNameOffset; // where FileRecord's name starts
    uint32_t recordBytes;      // sizeof(FileRecord)
};
constexpr RecordGeometry kRecordGeometry32{40, 52, 576};
constexpr RecordGeometry kRecordGeometry64{56, 60, 584};

// The largest first-chunk header: the full record and two paths of
// pathCapacity UTF-16 units each.
uint32_t MaxFirstChunkHeaderBytes(const RecordGeometry& geometry, size_t pathCapacity);

// The layout for a record of recordBytes (already rounded up to 8) and paths of
// the given byte lengths (terminators included). False when the total would
// not fit in 32 bits.
bool LayoutFirstChunk(uint32_t chunkHeaderBytes, uint32_t recordBytes, size_t destinationBytes, size_t sourceBytes,
                      FirstChunkLayout* layout);

// Stores the sizes, the record's first recordBytes bytes and both paths after
// the header at `header`; the padding between them is zeroed. Writes exactly
// layout.headerBytes - chunkHeaderBytes bytes from header + chunkHeaderBytes.
void StoreFirstChunk(unsigned char* header, const FirstChunkLayout& layout, const void* record, const void* destination,
                     const void* source);

// What a first chunk's header carries, as the writer reads it back.
struct FirstChunkView {
    const unsigned char* destination; // destinationBytes bytes, terminator included
    uint32_t destinationBytes;
    const unsigned char* source;
    uint32_t sourceBytes;
};

// Reads a first chunk's header back: the record is copied into `record`
// (recordCapacity bytes; what the chunk did not carry is zeroed) and the paths
// are shown where they lie. headerSize is what the chunk reserved for its
// header. False, touching nothing past headerSize, when the stored sizes do
// not fit it, the record is shorter than recordMinimum or longer than
// recordCapacity, or a path is empty, not a whole number of unitBytes or
// not terminated by a zero unit.
bool LoadFirstChunk(const unsigned char* header, uint32_t chunkHeaderBytes, uint32_t headerSize, void* record,
                    size_t recordMinimum, size_t recordCapacity, size_t unitBytes, FirstChunkView* view);
