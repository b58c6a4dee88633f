#include "LaunchRules.h"

std::int32_t ResultFromSystemError(std::int32_t error) {
    if (error <= 0)
        return error;
    return static_cast<std::int32_t>(0x80070000u | (static_cast<std::uint32_t>(error) & 0xFFFFu));
}

LaunchMethod ChooseLaunchMethod(std::uint32_t ownLevel, std::uint32_t shellLevel) {
    if (ownLevel == kIntegrityHigh && shellLevel == kIntegrityMedium)
        return LaunchMethod::ShellToken;
    if (ownLevel == kIntegrityMedium && shellLevel == kIntegrityHigh)
        return LaunchMethod::Refuse;
    return LaunchMethod::Plain;
}
