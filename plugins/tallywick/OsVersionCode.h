// The short operating-system code the statistics server groups installs by.
#pragma once

#include <string>

namespace Tallywick {

struct OsVersionFacts {
    unsigned long major = 0;
    unsigned long minor = 0;
    bool workstation = false;
    bool serverR2 = false; // only consulted for 5.2
};

// Empty for versions the server has no code for.
std::string OsVersionCode(const OsVersionFacts& facts);

} // namespace Tallywick
