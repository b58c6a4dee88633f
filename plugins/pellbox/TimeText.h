// The current time as a decimal count of whole seconds since 1970 (UTC).
#pragma once

#include <cstdint>
#include <string>

// From 100-nanosecond units since 1601-01-01 UTC. Times before 1970 and after
// the year 3000 give -1.
int64_t SecondsSince1970(uint64_t fileTime);

// Decimal integer text, no fraction: -1 gives "-1".
std::string FormatTimeText(int64_t seconds);
