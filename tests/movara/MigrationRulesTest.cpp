#include "LaunchRules.h"
#include "ProgressRules.h"

#include <gtest/gtest.h>

TEST(ResultFromSystemError, WrapsPositiveCodesOnly) {
    EXPECT_EQ(ResultFromSystemError(0), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(ResultFromSystemError(2)), 0x80070002u);
    EXPECT_EQ(static_cast<std::uint32_t>(ResultFromSystemError(0x12345)), 0x80072345u);
    EXPECT_EQ(ResultFromSystemError(kResultUnexpected), kResultUnexpected);
}

TEST(ChooseLaunchMethod, ShellTokenOnlyForElevatedProgramUnderNormalShell) {
    EXPECT_EQ(ChooseLaunchMethod(kIntegrityHigh, kIntegrityMedium), LaunchMethod::ShellToken);
    EXPECT_EQ(ChooseLaunchMethod(kIntegrityMedium, kIntegrityHigh), LaunchMethod::Refuse);
    EXPECT_EQ(ChooseLaunchMethod(kIntegrityHigh, kIntegrityHigh), LaunchMethod::Plain);
    EXPECT_EQ(ChooseLaunchMethod(kIntegrityMedium, kIntegrityMedium), LaunchMethod::Plain);
    EXPECT_EQ(ChooseLaunchMethod(0x4000, kIntegrityMedium), LaunchMethod::Plain);
}

TEST(ProgressPercent, TruncatesAndHandlesLargeFigures) {
    EXPECT_EQ(ProgressPercent(0, 0), 0);
    EXPECT_EQ(ProgressPercent(37, 100), 37);
    EXPECT_EQ(ProgressPercent(999, 1000), 99);
    EXPECT_EQ(ProgressPercent(1, 3), 33);
    const std::uint64_t big = 6ull << 32; // beyond 32 bits: 24 GiB
    EXPECT_EQ(ProgressPercent(big / 2, big), 50);
    EXPECT_EQ(ProgressPercent(big - 1, big), 99);
    EXPECT_EQ(ProgressPercent(big, big), 100);
}

TEST(ClassifySample, CompleteOnlyWhenTheRunEndedCleanWithEveryByte) {
    CopySample s;
    s.bytesTotal = 1000;
    s.bytesDone = 1000;
    EXPECT_EQ(ClassifySample(s), CopyState::Running) << "all bytes but the run has not ended";
    s.runEnded = true;
    EXPECT_EQ(ClassifySample(s), CopyState::Complete);
    s.errors = 1;
    EXPECT_EQ(ClassifySample(s), CopyState::Incomplete);
    s.errors = 0;
    s.bytesDone = 999;
    EXPECT_EQ(ClassifySample(s), CopyState::Incomplete);
    s.bytesDone = 1001; // the source grew while it was copied
    EXPECT_EQ(ClassifySample(s), CopyState::Incomplete);

    CopySample emptyFiles; // a profile of only empty files
    emptyFiles.runEnded = true;
    EXPECT_EQ(ClassifySample(emptyFiles), CopyState::Complete);
}

TEST(BarValueFor, Holds100BackUntilComplete) {
    CopySample s;
    s.bytesTotal = 100;
    s.bytesDone = 100;
    EXPECT_EQ(BarValueFor(s), 99);
    s.bytesDone = 250;
    EXPECT_EQ(BarValueFor(s), 99);
    s.bytesDone = 42;
    EXPECT_EQ(BarValueFor(s), 42);
    s.runEnded = true;
    s.bytesDone = 100;
    EXPECT_EQ(BarValueFor(s), 100);
    s.bytesTotal = 0;
    s.bytesDone = 0;
    EXPECT_EQ(BarValueFor(s), 100);
}
