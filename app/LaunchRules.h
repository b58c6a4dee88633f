// How the mail client is started again after the migration, and the result
// codes of the launch. No Windows calls here.
#pragma once

#include <cstdint>

constexpr std::uint32_t kIntegrityMedium = 0x2000;
constexpr std::uint32_t kIntegrityHigh = 0x3000;

constexpr std::int32_t kResultInvalidArg = static_cast<std::int32_t>(0x80070057u);
constexpr std::int32_t kResultAccessDenied = static_cast<std::int32_t>(0x80070005u);
constexpr std::int32_t kResultUnexpected = static_cast<std::int32_t>(0x8000FFFFu);

// A system error code as a result code: 0x80070000 with the low 16 bits of a
// positive code; zero and negative codes pass unchanged.
std::int32_t ResultFromSystemError(std::int32_t error);

enum class LaunchMethod {
    ShellToken, // elevated program under a normal shell: start with the shell's token
    Plain,      // start with this program's own token
    Refuse,     // a normal program cannot start anything for an elevated shell
};

LaunchMethod ChooseLaunchMethod(std::uint32_t ownLevel, std::uint32_t shellLevel);
