// Reading integers out of texts the way the installer and WMI hand them over.
#pragma once

#include <cstdint>
#include <string>

namespace Tallywick {

// NSIS-style integer argument: "0x1A" hexadecimal, "017" octal, otherwise an
// optional "-" and decimal digits. Stops at the first character that does not
// fit; no digits give 0. Wraps like 32-bit arithmetic on overflow.
int32_t ParseStackInteger(const std::wstring& text);

// atoi-like: leading blanks, optional sign, decimal digits; clamps on overflow.
int ParseLeadingInt(const std::string& text);
int ParseLeadingInt(const std::wstring& text);
int64_t ParseLeadingInt64(const std::wstring& text);

// Byte counts reported as decimal text, converted to MiB / GiB and kept as the
// low 32 bits of the result, as the statistics documents store them.
int32_t MebibytesFromText(const std::wstring& bytes);
int32_t GibibytesFromText(const std::wstring& bytes);

} // namespace Tallywick
