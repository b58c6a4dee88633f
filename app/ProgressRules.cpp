#include "ProgressRules.h"

#include <cwchar>

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
    int percent = sample.verifying ? ProgressPercent(sample.verifyBytesDone, sample.verifyBytesTotal)
                                   : ProgressPercent(sample.bytesDone, sample.bytesTotal);
    if (percent < 0)
        return 0;
    return percent > 99 ? 99 : percent;
}

std::wstring FormatBytes(std::uint64_t bytes) {
    static const wchar_t* const kUnits[] = {L"KB", L"MB", L"GB", L"TB", L"PB"};
    wchar_t text[48];
    if (bytes < 1024) {
        swprintf(text, sizeof(text) / sizeof(text[0]), L"%u B", static_cast<unsigned>(bytes));
        return text;
    }
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    // 1023.96 KB would print as "1024.0 KB": move up a unit before that.
    while (value >= 1023.95 && unit + 1 < sizeof(kUnits) / sizeof(kUnits[0])) {
        value /= 1024.0;
        ++unit;
    }
    swprintf(text, sizeof(text) / sizeof(text[0]), L"%.1f %ls", value, kUnits[unit]);
    return text;
}

std::uint64_t SpaceNeededFor(std::uint64_t bytes) {
    const std::uint64_t kMinimumMargin = 64ull << 20;
    std::uint64_t margin = bytes / 100;
    if (margin < kMinimumMargin)
        margin = kMinimumMargin;
    return bytes > UINT64_MAX - margin ? UINT64_MAX : bytes + margin;
}

std::wstring NotEnoughSpaceText(std::uint64_t needed, std::uint64_t available) {
    return L"目标磁盘空间不足：需要 " + FormatBytes(needed) + L"，可用 " + FormatBytes(available);
}

void TimeLeftEstimator::Add(std::uint32_t tickMs, std::uint64_t bytesDone) {
    // Bytes taken back (a failed file) or a clock that went backwards make the
    // older points meaningless.
    if (count_ > 0 && (bytesDone < points_[count_ - 1].bytesDone ||
                       static_cast<std::int32_t>(tickMs - points_[count_ - 1].tickMs) < 0))
        count_ = 0;
    auto dropOldest = [this] {
        for (std::size_t i = 1; i < count_; ++i)
            points_[i - 1] = points_[i];
        --count_;
    };
    if (count_ == kSamples)
        dropOldest();
    points_[count_++] = Point{tickMs, bytesDone};
    // Keep the oldest point only while the next one alone does not span the window.
    while (count_ > 2 && tickMs - points_[1].tickMs >= kWindowMs)
        dropOldest();
}

bool TimeLeftEstimator::SecondsLeft(std::uint64_t bytesTotal, std::uint64_t* seconds) const {
    if (count_ < 3)
        return false;
    const Point& first = points_[0];
    const Point& last = points_[count_ - 1];
    const std::uint32_t spanMs = last.tickMs - first.tickMs; // wraps correctly across the 49-day turn
    if (spanMs < kSteadyMs || last.bytesDone <= first.bytesDone || last.bytesDone > bytesTotal)
        return false;
    const double bytesPerSecond = static_cast<double>(last.bytesDone - first.bytesDone) * 1000.0 / spanMs;
    const double left = static_cast<double>(bytesTotal - last.bytesDone) / bytesPerSecond;
    if (!(left >= 0.0) || left >= static_cast<double>(kAbsurdSeconds))
        return false;
    *seconds = static_cast<std::uint64_t>(left + 0.5);
    return true;
}

std::uint64_t TimeLeftStepMinutes(std::uint64_t shownMinutes) {
    return shownMinutes < 60 ? 1 : 10;
}

bool TimeLeftEstimator::NextShown(std::uint64_t bytesTotal, std::uint64_t* seconds) {
    std::uint64_t estimate = 0;
    if (!SecondsLeft(bytesTotal, &estimate)) {
        shown_ = false;
        return false;
    }
    // Whole minutes, rounded up as the text shows them.
    const std::uint64_t minutes = estimate < 60 ? 0 : (estimate + 59) / 60;
    if (!shown_) {
        shownMinutes_ = minutes;
        shown_ = true;
    } else {
        const std::uint64_t step = TimeLeftStepMinutes(shownMinutes_);
        if (minutes > shownMinutes_)
            shownMinutes_ += minutes - shownMinutes_ < step ? minutes - shownMinutes_ : step;
        else if (minutes < shownMinutes_)
            shownMinutes_ -= shownMinutes_ - minutes < step ? shownMinutes_ - minutes : step;
    }
    *seconds = shownMinutes_ * 60;
    return true;
}

std::wstring FormatTimeLeft(std::uint64_t seconds) {
    if (seconds < 60)
        return L"不到 1 分钟";
    const std::uint64_t minutes = (seconds + 59) / 60;
    wchar_t text[48];
    if (minutes < 60)
        swprintf(text, sizeof(text) / sizeof(text[0]), L"约 %u 分钟", static_cast<unsigned>(minutes));
    else if (minutes % 60 == 0)
        swprintf(text, sizeof(text) / sizeof(text[0]), L"约 %u 小时", static_cast<unsigned>(minutes / 60));
    else
        swprintf(text, sizeof(text) / sizeof(text[0]), L"约 %u 小时 %u 分钟", static_cast<unsigned>(minutes / 60),
                 static_cast<unsigned>(minutes % 60));
    return text;
}

std::wstring CopyingText(const std::wstring& running, int percent, std::uint64_t bytesDone, std::uint64_t bytesTotal,
                         const std::uint64_t* secondsLeft) {
    std::wstring text =
        running + L"（" + std::to_wstring(percent) + L"%，" + FormatBytes(bytesDone) + L" / " + FormatBytes(bytesTotal);
    if (secondsLeft)
        text += L"，" + FormatTimeLeft(*secondsLeft);
    return text + L"）";
}
