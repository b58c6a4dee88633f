#include "OsVersionCode.h"

namespace Tallywick {

std::string OsVersionCode(const OsVersionFacts& v) {
    if (v.major == 5) {
        switch (v.minor) {
        case 0:
            return "5.0.0";
        case 1:
            return "5.1.0";
        case 2:
            return v.serverR2 ? "5.2.1" : "5.2.0";
        default:
            return "";
        }
    }
    if (v.major == 6) {
        switch (v.minor) {
        case 0:
            // Vista is the odd one out: its workstation code ends in 0.
            return v.workstation ? "6.0.0" : "6.0.1";
        case 1:
            return v.workstation ? "6.1.1" : "6.1.0";
        case 2:
            return v.workstation ? "6.2.1" : "6.2.0";
        case 3:
            return v.workstation ? "6.3.1" : "6.3.0";
        default:
            return "";
        }
    }
    if (v.major == 10 && v.minor == 0)
        return v.workstation ? "10.0.1" : "10.0.0";
    return "";
}

} // namespace Tallywick
