// The two statistics payloads, built from a fresh machine profile and the
// current time, signed and serialised.
#pragma once

#include "StatsDocument.h"

#include <string>

namespace Tallywick {

// Serialised event document (JSON text ending with a line feed).
std::string EventPayload(const EventArguments& args);
// Serialised uninstall-survey document.
std::string UninstallPayload(const UninstallArguments& args);

// The option texts of the survey joined with "," and read as numbers.
std::vector<int> OptionsFromTexts(const std::wstring& first, const std::wstring& second, const std::wstring& third);

} // namespace Tallywick
