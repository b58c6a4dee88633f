#include "ProgressRules.h"

int ProgressPercent(std::uint64_t bytesDone, std::uint64_t bytesTotal) {
    if (bytesTotal == 0)
        return 0;
    double percent = static_cast<double>(bytesDone) / static_cast<double>(bytesTotal) * 100.0;
    if (percent > 1000.0)
        percent = 1000.0;
    return static_cast<int>(percent);
}

CopyState ClassifySample(const CopySample& sample) {
    if (!sample.runEnded)
        return CopyState::Running;
    if (sample.errors == 0 && sample.bytesDone == sample.bytesTotal)
        return CopyState::Complete;
    return CopyState::Incomplete;
}

int BarValueFor(const CopySample& sample) {
    if (ClassifySample(sample) == CopyState::Complete)
        return 100;
    int percent = ProgressPercent(sample.bytesDone, sample.bytesTotal);
    if (percent < 0)
        return 0;
    return percent > 99 ? 99 : percent;
}
