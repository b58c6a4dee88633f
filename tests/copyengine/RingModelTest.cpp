#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "PathHelpers.h"
#include "RingModel.h"

namespace {

// Sizes at every sector, chunk and ring boundary, for a ring of ringBytes
// and chunks of maxPiece.
std::vector<uint64_t> BoundarySizes(const RingModelOptions& options) {
    std::vector<uint64_t> sizes;
    for (uint64_t edge : {uint64_t(options.sector), uint64_t(options.maxPiece), uint64_t(2 * options.maxPiece),
                          uint64_t(options.ringBytes)}) {
        for (int64_t delta : {-513, -512, -1, 0, 1, 512, 4097})
            sizes.push_back(uint64_t(int64_t(edge) + delta));
    }
    // Shares of the ring that bring a first chunk near its end.
    for (uint64_t share = 2; share <= 9; ++share)
        sizes.push_back(options.ringBytes / share - options.sector - 100);
    sizes.push_back(0);
    return sizes;
}

std::vector<RingModelFile> RandomFiles(std::mt19937& random, const RingModelOptions& options, size_t count,
                                       uint64_t budget) {
    const std::vector<uint64_t> edges = BoundarySizes(options);
    std::vector<RingModelFile> files;
    for (size_t i = 0; i < count; ++i) {
        uint64_t size = random() % 2 ? edges[random() % edges.size()] : random() % (3 * options.maxPiece);
        size = std::min(size, budget);
        budget -= size;
        // Paths mostly of everyday length, some up to the engine's limit.
        const auto pathUnits = [&]() {
            return uint32_t(random() % 4 ? 1 + random() % 300 : 1 + random() % (kCopyPathCapacity - 1));
        };
        files.push_back({size, uint32_t(1 + random() % 260), pathUnits(), pathUnits()});
    }
    return files;
}

} // namespace

// The reader/writer protocol with both builds' header and record sizes, in
// the engine's ring and in a small one that wraps every few chunks: nothing
// is stored or read outside the reservation, and everything reads back
// exactly as stored.
TEST(RingModel, EveryChunkStaysInsideItsReservationAndReadsBackExactly) {
    struct Case {
        const char* name;
        RingModelOptions options;
        int runs;
        size_t files;
        uint64_t budget;
    };
    const Case cases[] = {
        {"engine ring, 32-bit", {kRecordGeometry32, kStagingRingBytes, 512, 8u << 20}, 3, 12, 80u << 20},
        {"engine ring, 64-bit", {kRecordGeometry64, kStagingRingBytes, 512, 8u << 20}, 3, 12, 80u << 20},
        {"small ring, 32-bit", {kRecordGeometry32, (1u << 20) + 16384, 4096, 256u << 10}, 150, 60, 8u << 20},
        {"small ring, 64-bit", {kRecordGeometry64, (1u << 20) + 16384, 512, 256u << 10}, 150, 60, 8u << 20},
    };
    for (const Case& c : cases) {
        for (int run = 0; run < c.runs; ++run) {
            std::mt19937 random(1000u * unsigned(run) + 7);
            const std::vector<RingModelFile> files = RandomFiles(random, c.options, c.files, c.budget);
            const std::string failure = RunRingModel(c.options, files, [&]() { return uint32_t(random()); });
            EXPECT_EQ(failure, "") << c.name << ", run " << run;
        }
    }
}

// Eight files whose data and one header sector take 1/8 of the ring each:
// the eighth file's first chunk lies in the ring's last bytes, where a record
// read whole would reach past the ring.
TEST(RingModel, AFirstChunkInTheRingsLastBytesKeepsItsRecordInside) {
    for (const RecordGeometry& geometry : {kRecordGeometry32, kRecordGeometry64}) {
        size_t lastDataEnd = 0;
        const RingModelOptions options{geometry, kStagingRingBytes, 512, 8u << 20,
                                       [&](size_t dataEnd) { lastDataEnd = std::max(lastDataEnd, dataEnd); }};
        std::vector<RingModelFile> files(8, RingModelFile{kStagingRingBytes / 8 - 512 - 100, 2, 60, 60});
        EXPECT_EQ(RunRingModel(options, files, []() { return 1u; }), "");
        EXPECT_EQ(lastDataEnd, kStagingRingBytes - 512);
    }
}

TEST(ChunkLayout, RefusesSizesThatDoNotFitTheReservation) {
    const RecordGeometry& geometry = kRecordGeometry32;
    std::vector<unsigned char> header(4096, 0);
    const std::vector<uint16_t> path = {'D', ':', '\\', 0};
    std::vector<unsigned char> record(geometry.recordBytes, 0x11);
    FirstChunkLayout layout;
    ASSERT_TRUE(LayoutFirstChunk(geometry.chunkHeaderBytes, 64, 8, 8, &layout));
    StoreFirstChunk(header.data(), layout, record.data(), path.data(), path.data());

    std::vector<unsigned char> out(geometry.recordBytes);
    FirstChunkView view;
    const auto load = [&](uint32_t headerSize, size_t minimum, size_t capacity) {
        return LoadFirstChunk(header.data(), geometry.chunkHeaderBytes, headerSize, out.data(), minimum, capacity, 2,
                              &view);
    };
    EXPECT_TRUE(load(layout.headerBytes, 54, out.size()));
    EXPECT_FALSE(load(layout.headerBytes - 8, 54, out.size())) << "paths past the reservation";
    EXPECT_FALSE(load(layout.headerBytes, 72, out.size())) << "record shorter than its fixed part";
    EXPECT_FALSE(load(layout.headerBytes, 54, 56)) << "record longer than its type";
    // A path whose last unit is not its terminator.
    header[layout.sourceOffset + 6] = 'x';
    EXPECT_FALSE(load(layout.headerBytes, 54, out.size()));
}
