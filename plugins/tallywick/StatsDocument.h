// The JSON statistics documents: the base document with the machine profile,
// the installer-event document and the uninstall-survey document.
#pragma once

#include "HardwareProfile.h"

#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Tallywick {

extern const char kSignSalt[];

struct EventArguments {
    std::wstring uuid;
    std::wstring eventId;
    int32_t cid = 0;
    int32_t protocol = 0;
    std::wstring ver;
    std::wstring p;
};

struct UninstallArguments {
    std::wstring uuid;
    std::vector<int> options;
    std::wstring question;
    std::wstring qq;
    std::wstring email;
    std::wstring telephone;
    std::wstring ver;
    std::wstring p;
};

// Texts go into the documents as UTF-8, the encoding the JSON writer expects,
// so that non-ASCII answers come out as correct \u escapes.
std::string Utf8FromWide(const std::wstring& text);

Json::Value BuildBaseDocument(const MachineProfile& profile);

// The millisecond time as decimal text: seconds * 1000 printed without fraction.
std::string TimeText(int64_t seconds);

// The byte string whose MD5 digest is the "sign" member.
std::string SignatureInput(const std::string& narrowUuid, const std::string& cidText, const std::string& timeText);

void AddEventMembers(Json::Value& root, const EventArguments& args, int64_t seconds, const std::string& sign);

// The uninstall document's cid is the fixed value 8; kUninstallCidText is what the signature covers.
extern const char kUninstallCidText[];
void AddUninstallMembers(Json::Value& root, const UninstallArguments& args, int64_t seconds, const std::string& sign);

// Compact serialisation, ending with one line feed.
std::string SerializeDocument(const Json::Value& root);

} // namespace Tallywick
