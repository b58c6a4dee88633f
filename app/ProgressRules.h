// What the progress timer makes of the copy engine's figures. No Windows calls here.
#pragma once

#include <cstdint>

// The figures of one progress sample that the window looks at.
struct CopySample {
    bool runEnded = false;
    std::uint32_t errors = 0;
    std::uint64_t bytesTotal = 0;
    std::uint64_t bytesDone = 0;
};

// bytes done / bytes total * 100 in double precision, truncated; 0 without a total.
int ProgressPercent(std::uint64_t bytesDone, std::uint64_t bytesTotal);

enum class CopyState {
    Running,    // keep polling
    Complete,   // every byte arrived: the profile may be redirected
    Incomplete, // the run ended short or with errors: nothing is redirected
};

CopyState ClassifySample(const CopySample& sample);

// The bar's value for a sample: the percentage, held below 100 until the copy
// is known to be complete, and never outside 0..100.
int BarValueFor(const CopySample& sample);
