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
    // The read-back of the copy after it (when verifying).
    bool verifying = false;
    std::uint64_t verifyBytesTotal = 0;
    std::uint64_t verifyBytesDone = 0;
    std::uint32_t verifyMs = 0; // how long the read-back took, once it has ended
};

// bytes done / bytes total * 100 in double precision, truncated; 0 without a total.
int ProgressPercent(std::uint64_t bytesDone, std::uint64_t bytesTotal);

enum class CopyState {
    Running,    // keep polling
    Complete,   // every byte arrived: the profile may be redirected
    Incomplete, // the run ended short or with errors: nothing is redirected
};

CopyState ClassifySample(const CopySample& sample);

// The bar's value for a sample: the percentage (of the read-back while it
// runs), held below 100 until the copy is known to be complete, and never
// outside 0..100.
int BarValueFor(const CopySample& sample);

// A size as a person reads it, one decimal: "512 B", "1.5 KB", "12.4 GB".
std::wstring FormatBytes(std::uint64_t bytes);

// Room a copy of `bytes` needs on its destination: the bytes plus a margin of
// 1 %, at least 64 MiB.
std::uint64_t SpaceNeededFor(std::uint64_t bytes);

// "目标磁盘空间不足：需要 12.4 GB，可用 3.1 GB"
std::wstring NotEnoughSpaceText(std::uint64_t needed, std::uint64_t available);

// Time left from the average speed over the last 20 seconds of progress
// samples. The estimate is given only once it is steady (samples spanning ten
// seconds with bytes moving, and a result below a hundred hours), and what is
// shown moves towards it by at most one step per refresh, so that one slow
// file does not make the text jump back and forth.
class TimeLeftEstimator {
public:
    static constexpr std::size_t kSamples = 16;       // holds the window at one sample per two seconds
    static constexpr std::uint32_t kWindowMs = 20000; // the span the speed is averaged over
    static constexpr std::uint32_t kSteadyMs = 10000; // the span needed before anything is shown
    static constexpr std::uint64_t kAbsurdSeconds = 100ull * 3600;

    void Reset() {
        count_ = 0;
        shown_ = false;
    }
    void Add(std::uint32_t tickMs, std::uint64_t bytesDone);
    // The average over the window; false while no steady estimate exists.
    bool SecondsLeft(std::uint64_t bytesTotal, std::uint64_t* seconds) const;
    // What to show at this refresh, in whole minutes as FormatTimeLeft gives
    // them: the first steady estimate, then at most one step towards each new
    // one. False (and nothing remembered) while no steady estimate exists.
    bool NextShown(std::uint64_t bytesTotal, std::uint64_t* seconds);

private:
    struct Point {
        std::uint32_t tickMs;
        std::uint64_t bytesDone;
    };
    Point points_[kSamples] = {};
    std::size_t count_ = 0; // points held, the newest last
    bool shown_ = false;
    std::uint64_t shownMinutes_ = 0; // 0 shows as "less than a minute"
};

// The step the shown time left may move by at one refresh: a minute below an
// hour, ten minutes above.
std::uint64_t TimeLeftStepMinutes(std::uint64_t shownMinutes);

// "约 3 分钟", "约 2 小时 5 分钟", "不到 1 分钟".
std::wstring FormatTimeLeft(std::uint64_t seconds);

// The running copy's text followed by its figures:
// "<running>（45%，5.6 GB / 12.4 GB，约 3 分钟）"; without an estimate the time is left out.
std::wstring CopyingText(const std::wstring& running, int percent, std::uint64_t bytesDone, std::uint64_t bytesTotal,
                         const std::uint64_t* secondsLeft);
