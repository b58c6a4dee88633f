// MD5 digest of a byte string through the system's CNG provider.
#pragma once

#include <string>

namespace Tallywick {

// 32 lower-case hexadecimal digits; empty only if the provider is unavailable.
std::string Md5Hex(const std::string& bytes);

} // namespace Tallywick
