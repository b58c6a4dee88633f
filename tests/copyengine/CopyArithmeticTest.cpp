#include <gtest/gtest.h>

#include "ProgressMath.h"
#include "RingLayout.h"
#include "WritePlan.h"

TEST(PlaceChunk, StartsDataOnASectorAndRoundsItsLengthUp) {
    ChunkPlacement chunk = PlaceChunk(1 << 20, 1000, 512, 24, 1000, kMaxPiece);
    EXPECT_EQ(chunk.start, 1024u);
    EXPECT_EQ(chunk.dataLength, 1024u);
    EXPECT_EQ(chunk.headerSize, 24u);
    EXPECT_EQ(chunk.total, 1048u);
    // No data: the header goes right where the last chunk ended.
    chunk = PlaceChunk(1 << 20, 1000, 512, 20, 0, kMaxPiece);
    EXPECT_EQ(chunk.start, 1000u);
    EXPECT_EQ(chunk.dataLength, 0u);
    EXPECT_EQ(chunk.headerSize, 24u);
    // At most one maximum piece of data per chunk.
    chunk = PlaceChunk(64u << 20, 0, 4096, 600, 100u << 20, kMaxPiece);
    EXPECT_EQ(chunk.dataLength, kMaxPiece);
}

TEST(PlaceChunk, WrapsToTheRingStartWhenTheChunkDoesNotFitBeforeTheEnd) {
    EXPECT_EQ(PlaceChunk(8192, 4096, 512, 32, 4096, kMaxPiece).start, 0u);
    EXPECT_EQ(PlaceChunk(8192, 4064, 512, 32, 3000, kMaxPiece).start, 4096u);
}

TEST(ChooseWriteMode, FollowsSizeSectorAndFileSystem) {
    // 10 bytes to NTFS: below the threshold and not whole sectors.
    EXPECT_FALSE(ChooseWriteMode(kKindNtfs, 10, 512).unbuffered);
    // 1,000,000 bytes: unbuffered, padded to 1,000,448 and trimmed.
    WriteMode mode = ChooseWriteMode(kKindNtfs, 1000000, 512);
    EXPECT_TRUE(mode.unbuffered);
    EXPECT_TRUE(mode.trim);
    EXPECT_EQ(WriteLength(8388608, 1000000, true, 512), 1000448u);
    // Whole sectors: unbuffered, nothing to trim, also when small.
    mode = ChooseWriteMode(kKindNtfs, 65536, 512);
    EXPECT_TRUE(mode.unbuffered && !mode.trim);
    mode = ChooseWriteMode(kKindOtherLocal, 1024, 512);
    EXPECT_TRUE(mode.unbuffered && !mode.trim);
    // Other local file systems use the larger threshold.
    EXPECT_FALSE(ChooseWriteMode(kKindOtherLocal, 100000, 512).unbuffered);
    EXPECT_TRUE(ChooseWriteMode(kKindOtherLocal, 131073, 512).trim);
    // Network shares: always buffered, exact lengths.
    mode = ChooseWriteMode(kKindNetwork, 1 << 20, 512);
    EXPECT_FALSE(mode.unbuffered || mode.trim);
    EXPECT_EQ(WriteLength(8388608, 1000000, false, 512), 1000000u);
    EXPECT_EQ(WriteLength(8388608, 9000000, true, 512), 8388608u);
}

TEST(LowerMaxPiece, StepsDownWholeMebibytesAndGivesUpAtOne) {
    EXPECT_EQ(LowerMaxPiece(kMaxPiece, kMaxPiece), 7 * kMiB);
    EXPECT_EQ(LowerMaxPiece(2 * kMiB, kMaxPiece), kMiB);
    EXPECT_EQ(LowerMaxPiece(kMiB, kMaxPiece), 0u);
    // A request of at most 1 MiB cannot be split further.
    EXPECT_EQ(LowerMaxPiece(kMaxPiece, 4096), 0u);
}

TEST(ElapsedTicks, SurvivesTheTickCounterWrapping) {
    EXPECT_EQ(ElapsedTicks(1500, 1000), 500u);
    EXPECT_EQ(ElapsedTicks(99, 0xFFFFFF00u), 0xFFu + 99u);
    EXPECT_DOUBLE_EQ(MiBPerSecond(3 * 1048576.0, 1.5), 2.0);
    EXPECT_DOUBLE_EQ(MiBPerSecond(1048576.0, 0), 0.0);
}
