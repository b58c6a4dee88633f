// Elapsed time and speed figures of the progress record.
#pragma once

#include <cstdint>

// Milliseconds from `start` to `now` on the 32-bit tick counter, which wraps
// after about 49.7 days.
inline uint32_t ElapsedTicks(uint32_t now, uint32_t start) {
    return now >= start ? now - start : (0xFFFFFFFFu - start) + now;
}

// MiB per second; 0 when no time has passed.
inline double MiBPerSecond(double bytes, double seconds) {
    return seconds > 0 ? bytes / (1024.0 * 1024.0) / seconds : 0.0;
}
