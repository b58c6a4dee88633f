#include "TimeText.h"

#include <cstdio>

namespace {

constexpr uint64_t kEpochOffset1601To1970 = 116444736000000000ull;
constexpr uint64_t kTicksPerSecond = 10000000ull;
constexpr uint64_t kLatestSeconds = 32535244799ull; // 3000-12-31 23:59:59 UTC

} // namespace

int64_t SecondsSince1970(uint64_t fileTime) {
    // Unsigned on purpose: a time before 1970 wraps far past the limit.
    const uint64_t seconds = (fileTime - kEpochOffset1601To1970) / kTicksPerSecond;
    if (seconds > kLatestSeconds)
        return -1;
    return static_cast<int64_t>(seconds);
}

std::string FormatTimeText(int64_t seconds) {
    char text[32] = {};
    std::snprintf(text, sizeof text, "%.0f", static_cast<double>(seconds));
    return text;
}
