// The copy engine's staging ring through the reader/writer model: the input
// chooses the build's record sizes, the sector, each file's size and path
// lengths and the interleaving of reader and writer. Any byte stored or read
// outside a reservation, or read back different, ends the run.
#include "PathHelpers.h"
#include "RingModel.h"

#include <cstdlib>
#include <cstring>

namespace {

class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    uint32_t Take(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i)
            value = value << 8 | (at_ < size_ ? data_[at_++] : 0);
        return value;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in(data, size);
    const uint32_t setup = in.Take(1);
    RingModelOptions options;
    options.geometry = setup & 1 ? kRecordGeometry64 : kRecordGeometry32;
    options.sector = setup & 2 ? 4096 : 512;
    // A small ring wraps every few chunks; it still holds the largest chunk.
    options.maxPiece = 256u << 10;
    options.ringBytes = (1u << 20) + 16384;
    const uint32_t fileCount = 1 + in.Take(1) % 48;
    std::vector<RingModelFile> files;
    for (uint32_t i = 0; i < fileCount; ++i) {
        const uint32_t kind = in.Take(1);
        const uint64_t raw = in.Take(3);
        uint64_t fileSize;
        switch (kind % 4) {
        case 0:
            fileSize = raw % (3 * options.maxPiece);
            break;
        case 1:
            fileSize = options.ringBytes / (2 + raw % 8) - (raw >> 8) % (2 * options.sector);
            break;
        case 2:
            fileSize = uint64_t(options.sector) * (1 + raw % 600) + (kind >> 2) % 3 - 1;
            break;
        default:
            fileSize = raw % 64;
            break;
        }
        const uint32_t nameUnits = 1 + in.Take(1) % 260;
        const uint32_t destinationUnits = 1 + in.Take(2) % (kCopyPathCapacity - 1);
        const uint32_t sourceUnits = 1 + in.Take(2) % (kCopyPathCapacity - 1);
        files.push_back({fileSize, nameUnits, destinationUnits, sourceUnits});
    }
    const std::string failure = RunRingModel(options, files, [&]() { return in.empty() ? 1u : in.Take(1); });
    if (!failure.empty()) {
        fprintf(stderr, "ring model: %s\n", failure.c_str());
        abort();
    }
    return 0;
}
