// Statistics documents from arbitrary argument texts: whatever the installer
// passes, the payload is valid JSON and carries the texts it was given.
#include "StatsDocument.h"

#include "FuzzText.h"

#include <memory>

using namespace Tallywick;
using FuzzText::Check;

namespace {

Json::Value Reparse(const std::string& text) {
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    builder.settings_["rejectDupKeys"] = true;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors)) {
        std::fprintf(stderr, "%s\n", errors.c_str());
        FuzzText::Fail("serialised document is not valid JSON");
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Fields are UTF-16 texts separated by 0x01 bytes.
    const std::vector<std::string> raw = FuzzText::Fields(data, size, '\x01', 14);
    std::vector<std::wstring> f;
    for (const std::string& field : raw)
        f.push_back(FuzzText::Utf16Units(field));
    const int64_t seconds = size ? int64_t(data[0]) * 123456789 : 0;

    MachineProfile profile;
    // The narrow members are composed by the plug-in from numbers and digests.
    profile.screenSize = "1920*1080";
    profile.osVersion = "6.1.1";
    profile.localAddress = "192.168.1.2";
    profile.macDigest = "0123456789abcdef0123456789abcdef";
    profile.cpu.name = f[0];
    profile.cpu.cores = size > 1 ? int(data[1]) : 0;
    profile.memory.push_back(MemoryModule{f[1], f[1], 0});
    profile.device = f[2];
    profile.memory.push_back(MemoryModule{f[3], f[4], 8192});
    profile.disks.push_back(DiskDrive{f[5], f[6], -1});
    profile.board = BaseBoard{f[7], f[8]};
    profile.cpu.processorId = f[9];
    profile.video.push_back(VideoAdapter{f[10], INT32_MIN});

    EventArguments event;
    event.uuid = f[11];
    event.eventId = f[12];
    event.ver = f[13];
    event.p = f[2];
    Json::Value eventDocument = BuildBaseDocument(profile);
    AddEventMembers(eventDocument, event, seconds, "sign");
    const Json::Value eventBack = Reparse(SerializeDocument(eventDocument));
    Check(eventBack["uuid"].asString() == Utf8FromWide(event.uuid), "uuid did not survive");
    Check(eventBack["events"][0]["flow"][0]["event_id"].asString() == Utf8FromWide(event.eventId),
          "event id did not survive");
    Check(eventBack["device"].asString() == Utf8FromWide(profile.device), "device did not survive");

    UninstallArguments survey;
    survey.uuid = f[11];
    survey.question = f[12];
    survey.qq = f[13];
    survey.email = f[3];
    survey.telephone = f[4];
    survey.ver = f[5];
    survey.p = f[6];
    for (size_t i = 0; i < size && i < 8; ++i)
        survey.options.push_back(int(int8_t(data[i])) * 1000);
    Json::Value surveyDocument = BuildBaseDocument(profile);
    AddUninstallMembers(surveyDocument, survey, seconds, "sign");
    const Json::Value surveyBack = Reparse(SerializeDocument(surveyDocument));
    const Json::Value& feedback = surveyBack["events"][0]["payload"]["uninstall-event"][TimeText(seconds)]["feedback"];
    Check(feedback["uninstall_question"].asString() == Utf8FromWide(survey.question), "question did not survive");
    return 0;
}
