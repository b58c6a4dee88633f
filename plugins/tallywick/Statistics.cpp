#include "Statistics.h"

#include "Md5.h"
#include "OptionList.h"
#include "PluginFrame.h"
#include "SystemProfile.h"

#include <ctime>

namespace Tallywick {

namespace {

int64_t CurrentSeconds() {
    return static_cast<int64_t>(_time64(nullptr));
}

std::string Sign(const std::wstring& uuid, const std::string& cidText, int64_t seconds) {
    return Md5Hex(SignatureInput(ToNarrowText(uuid), cidText, TimeText(seconds)));
}

} // namespace

std::string EventPayload(const EventArguments& args) {
    Json::Value root = BuildBaseDocument(CollectMachineProfile());
    int64_t seconds = CurrentSeconds();
    AddEventMembers(root, args, seconds, Sign(args.uuid, std::to_string(args.cid), seconds));
    return SerializeDocument(root);
}

std::string UninstallPayload(const UninstallArguments& args) {
    Json::Value root = BuildBaseDocument(CollectMachineProfile());
    int64_t seconds = CurrentSeconds();
    AddUninstallMembers(root, args, seconds, Sign(args.uuid, kUninstallCidText, seconds));
    return SerializeDocument(root);
}

std::vector<int> OptionsFromTexts(const std::wstring& first, const std::wstring& second, const std::wstring& third) {
    return ParseOptionList(ToNarrowText(first) + "," + ToNarrowText(second) + "," + ToNarrowText(third));
}

} // namespace Tallywick
