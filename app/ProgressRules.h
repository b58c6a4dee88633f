// What the progress timer makes of the copy engine's figures. No Windows calls here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The figures of one progress sample that the window looks at.
struct CopySample {
    bool runEnded = false;
    std::uint32_t errors = 0;
    std::uint64_t bytesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint32_t tickMs = 0; // when the sample was taken (GetTickCount)
    std::uint32_t filesTotal = 0;
    std::uint32_t filesCopied = 0;
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

// A size as a person reads it, one decimal: "512 B", "1.5 KB", "12.4 GB".
std::wstring FormatBytes(std::uint64_t bytes);

// Room a copy of `bytes` needs on its destination: the bytes plus a margin of
// 1 %, at least 64 MiB.
std::uint64_t SpaceNeededFor(std::uint64_t bytes);

// "目标磁盘空间不足：需要 12.4 GB，可用 3.1 GB"
std::wstring NotEnoughSpaceText(std::uint64_t needed, std::uint64_t available);

// Time left from the speed of the last few progress samples. The estimate is
// given only once it is steady: samples spanning a few seconds with bytes
// moving, and a result below a hundred hours.
class TimeLeftEstimator {
public:
    static constexpr std::size_t kSamples = 6;       // about ten seconds at one sample per two
    static constexpr std::uint32_t kSteadyMs = 4000; // the span the speed is taken over, at least
    static constexpr std::uint64_t kAbsurdSeconds = 100ull * 3600;

    void Reset() { count_ = 0; }
    void Add(std::uint32_t tickMs, std::uint64_t bytesDone);
    // False while no steady estimate exists.
    bool SecondsLeft(std::uint64_t bytesTotal, std::uint64_t* seconds) const;

private:
    struct Point {
        std::uint32_t tickMs;
        std::uint64_t bytesDone;
    };
    Point points_[kSamples] = {};
    std::size_t count_ = 0; // points held, the newest last
};

// "约 3 分钟", "约 2 小时 5 分钟", "不到 1 分钟".
std::wstring FormatTimeLeft(std::uint64_t seconds);

// The running copy's text followed by its figures:
// "<running>（45%，5.6 GB / 12.4 GB，约 3 分钟）"; without an estimate the time is left out.
std::wstring CopyingText(const std::wstring& running, int percent, std::uint64_t bytesDone, std::uint64_t bytesTotal,
                         const std::uint64_t* secondsLeft);
