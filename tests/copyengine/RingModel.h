// A model of the copy engine's reader and writer on the staging ring, built
// from the engine's own placement and layout code: the reader reserves chunks
// and stores data, headers, records and paths; the writer reads them back and
// releases them, in an interleaving the caller chooses. The ring is a heap
// block of exactly its size, so that under AddressSanitizer any byte stored
// or read past it stops the run; every other rule is checked by the model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ChunkLayout.h"
#include "RingLayout.h"

struct RingModelFile {
    uint64_t size;
    uint32_t nameUnits;        // the record's name, 1 to 260 units
    uint32_t destinationUnits; // the paths, without terminator
    uint32_t sourceUnits;
};

struct RingModelOptions {
    RecordGeometry geometry = kRecordGeometry32;
    size_t ringBytes = kStagingRingBytes;
    uint32_t sector = 512;
    uint32_t maxPiece = 8u * 1024 * 1024;
    // Told where each first chunk's data ends (an offset in the ring).
    std::function<void(size_t)> onFirstChunk;
};

// Copies the files through the ring. choose() decides, before each
// reservation, whether the writer first takes and releases chunks (it always
// does when the reservation must wait). Returns an empty text when every rule
// held, else a description of the first one broken: a chunk outside the ring
// or overlapping one still queued, data not on a sector, a header larger than
// its reservation, or anything read back different from what was stored.
std::string RunRingModel(const RingModelOptions& options, const std::vector<RingModelFile>& files,
                         const std::function<uint32_t()>& choose);
