#include "StatsDocument.h"

#include <cstdio>

namespace Tallywick {

const char kSignSalt[] = "zumquerbalt_!*^~";
const char kUninstallCidText[] = "8";

namespace {

const int32_t kUninstallProtocol = 5;
const int32_t kUninstallCid = 8;
const int kEventTypeInstall = 1;
const int kEventTypeUninstall = 2;

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

Json::Value Text(const std::wstring& text) {
    return Json::Value(Utf8FromWide(text));
}

Json::Int64 Milliseconds(int64_t seconds) {
    return static_cast<Json::Int64>(seconds * 1000);
}

// Members shared by both documents after the profile: identification, time and signature.
void AddHeader(Json::Value& root, int32_t protocol, int32_t cid, const std::wstring& ver, const std::wstring& p,
               int64_t seconds, const std::wstring& uuid, const std::string& sign) {
    root["protocol"] = Json::Value(protocol);
    root["cid"] = Json::Value(cid);
    root["ver"] = Text(ver);
    root["p"] = Text(p);
    root["time"] = Json::Value(Milliseconds(seconds));
    root["uuid"] = Text(uuid);
    root["sign"] = Json::Value(sign);
}

} // namespace

std::string Utf8FromWide(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t unit = static_cast<uint16_t>(text[i]);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
            uint32_t low = static_cast<uint16_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
    return out;
}

Json::Value BuildBaseDocument(const MachineProfile& profile) {
    Json::Value root(Json::objectValue);
    root["g"] = profile.screenSize;
    root["n"] = "";
    root["m"] = "PC";
    root["history"] = Json::Value(Json::arrayValue);
    root["tz"] = "";
    root["s"] = profile.osVersion;
    root["guid"] = "";
    root["sub_cid"] = "";
    root["d"] = 0;
    root["custom_fields"] = Json::Value(Json::objectValue);
    root["c"] = Json::Value(Json::arrayValue);
    root["userip"] = profile.localAddress;
    root["error"] = Json::Value(Json::arrayValue);
    root["package_name"] = "";
    root["b"] = 0;
    root["device"] = Text(profile.device);
    root["imei"] = "";
    root["mac"] = profile.macDigest;

    if (!profile.memory.empty()) {
        Json::Value memory(Json::objectValue);
        for (size_t i = 0; i < profile.memory.size(); ++i) {
            Json::Value& entry = memory["memory" + std::to_string(i)];
            entry["manu"] = Text(profile.memory[i].manufacturer);
            entry["sn"] = Text(profile.memory[i].serialNumber);
            entry["size"] = profile.memory[i].sizeMiB;
        }
        root["memory"] = memory;
    }
    if (!profile.disks.empty()) {
        Json::Value disk(Json::objectValue);
        for (size_t i = 0; i < profile.disks.size(); ++i) {
            Json::Value& entry = disk["disk" + std::to_string(i)];
            entry["ver"] = Text(profile.disks[i].model);
            entry["sn"] = Text(profile.disks[i].serialNumber);
            entry["size"] = profile.disks[i].sizeGiB;
        }
        root["disk"] = disk;
    }
    Json::Value& board = root["board"];
    board["sn"] = Text(profile.board.serialNumber);
    board["ver"] = Text(profile.board.product);
    Json::Value& cpu = root["cpu"];
    cpu["cores"] = profile.cpu.cores;
    cpu["sn"] = Text(profile.cpu.processorId);
    cpu["ver"] = Text(profile.cpu.name);
    if (!profile.video.empty()) {
        Json::Value video(Json::objectValue);
        for (size_t i = 0; i < profile.video.size(); ++i) {
            Json::Value& entry = video["video" + std::to_string(i)];
            entry["name"] = Text(profile.video[i].name);
            entry["size"] = profile.video[i].sizeMiB;
        }
        root["video"] = video;
    }
    return root;
}

std::string TimeText(int64_t seconds) {
    char buffer[64] = {};
    std::snprintf(buffer, sizeof buffer, "%.0f", static_cast<double>(seconds) * 1000.0);
    return buffer;
}

std::string SignatureInput(const std::string& narrowUuid, const std::string& cidText, const std::string& timeText) {
    return narrowUuid + cidText + timeText + kSignSalt;
}

void AddEventMembers(Json::Value& root, const EventArguments& args, int64_t seconds, const std::string& sign) {
    AddHeader(root, args.protocol, args.cid, args.ver, args.p, seconds, args.uuid, sign);

    Json::Value flow(Json::objectValue);
    flow["happened"].append(Json::Value(Milliseconds(seconds)));
    flow["event_id"] = Text(args.eventId);
    Json::Value event(Json::objectValue);
    event["account"] = "";
    event["type"] = kEventTypeInstall;
    event["flow"].append(flow);
    root["events"].append(event);
}

void AddUninstallMembers(Json::Value& root, const UninstallArguments& args, int64_t seconds, const std::string& sign) {
    AddHeader(root, kUninstallProtocol, kUninstallCid, args.ver, args.p, seconds, args.uuid, sign);

    Json::Value options; // stays null when no option was chosen
    for (size_t i = 0; i < args.options.size(); ++i)
        options["uninstall-event" + std::to_string(i + 1)] = args.options[i];
    Json::Value feedback(Json::objectValue);
    feedback["uninstall_question"] = Text(args.question);
    feedback["uninstall_qq"] = Text(args.qq);
    feedback["uninstall_email"] = Text(args.email);
    feedback["uninstall_telnumber"] = Text(args.telephone);

    Json::Value answers(Json::objectValue);
    answers["options"] = options;
    answers["feedback"] = feedback;
    Json::Value record(Json::objectValue);
    record["account"] = "";
    record["type"] = kEventTypeUninstall;
    record["payload"]["uninstall-event"][TimeText(seconds)] = answers;
    root["events"].append(record);
}

std::string SerializeDocument(const Json::Value& root) {
    Json::FastWriter writer;
    return writer.write(root);
}

} // namespace Tallywick
