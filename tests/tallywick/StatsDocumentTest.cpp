#include "StatsDocument.h"

#include <gtest/gtest.h>

using namespace Tallywick;

namespace {

const int64_t kSeconds = 1700000000;

MachineProfile SampleProfile() {
    MachineProfile p;
    p.screenSize = "1920*1080";
    p.osVersion = "6.1.1";
    p.localAddress = "10.0.0.5";
    p.device = L"ABC1.02SN0001";
    p.macDigest = "d41d8cd98f00b204e9800998ecf8427e";
    p.memory = {{L"M0", L"S0", 4096}, {L"M1", L"S1", 2048}};
    p.disks = {{L"Disk", L"DSN", 465}};
    p.board = {L"BSN", L"Board"};
    p.cpu = {4, L"PID", L"CPU"};
    p.video = {{L"GPU", 1024}};
    return p;
}

Json::Value Parse(const std::string& text) {
    Json::Value value;
    Json::Reader reader;
    EXPECT_TRUE(reader.parse(text, value)) << text;
    return value;
}

} // namespace

TEST(EventDocument, SerialisesEveryMemberSortedAndCompact) {
    Json::Value root = BuildBaseDocument(SampleProfile());
    EventArguments args;
    args.uuid = L"U";
    args.eventId = L"install_start";
    args.cid = 7;
    args.protocol = 3;
    args.ver = L"1.0";
    args.p = L"pp";
    AddEventMembers(root, args, kSeconds, "SIGN");

    EXPECT_EQ(SerializeDocument(root),
              "{\"b\":0,\"board\":{\"sn\":\"BSN\",\"ver\":\"Board\"},\"c\":[],\"cid\":7,"
              "\"cpu\":{\"cores\":4,\"sn\":\"PID\",\"ver\":\"CPU\"},\"custom_fields\":{},\"d\":0,"
              "\"device\":\"ABC1.02SN0001\",\"disk\":{\"disk0\":{\"size\":465,\"sn\":\"DSN\",\"ver\":\"Disk\"}},"
              "\"error\":[],\"events\":[{\"account\":\"\",\"flow\":[{\"event_id\":\"install_start\","
              "\"happened\":[1700000000000]}],\"type\":1}],\"g\":\"1920*1080\",\"guid\":\"\",\"history\":[],"
              "\"imei\":\"\",\"m\":\"PC\",\"mac\":\"d41d8cd98f00b204e9800998ecf8427e\","
              "\"memory\":{\"memory0\":{\"manu\":\"M0\",\"size\":4096,\"sn\":\"S0\"},"
              "\"memory1\":{\"manu\":\"M1\",\"size\":2048,\"sn\":\"S1\"}},\"n\":\"\",\"p\":\"pp\","
              "\"package_name\":\"\",\"protocol\":3,\"s\":\"6.1.1\",\"sign\":\"SIGN\",\"sub_cid\":\"\","
              "\"time\":1700000000000,\"tz\":\"\",\"userip\":\"10.0.0.5\",\"uuid\":\"U\",\"ver\":\"1.0\","
              "\"video\":{\"video0\":{\"name\":\"GPU\",\"size\":1024}}}\n");
}

TEST(BaseDocument, HardwareNotFoundLeavesBoardAndCpuEmptyAndTheRestAbsent) {
    Json::Value root = Parse(SerializeDocument(BuildBaseDocument(MachineProfile())));
    EXPECT_FALSE(root.isMember("memory"));
    EXPECT_FALSE(root.isMember("disk"));
    EXPECT_FALSE(root.isMember("video"));
    EXPECT_EQ(root["board"].getMemberNames(), (std::vector<std::string>{"sn", "ver"}));
    EXPECT_EQ(root["cpu"]["cores"].asInt(), 0);
    EXPECT_EQ(root["cpu"]["ver"].asString(), "");
    EXPECT_EQ(root.size(), 20u); // the 18 fixed members, board and cpu
}

TEST(UninstallDocument, OptionsNumberedFromOneUnderTheTimeText) {
    Json::Value root = BuildBaseDocument(SampleProfile());
    UninstallArguments args;
    args.uuid = L"U";
    args.options = {1, 3};
    args.question = L"q";
    args.qq = L"12345";
    args.email = L"a@b.c";
    args.telephone = L"555";
    args.ver = L"2.0";
    args.p = L"pp";
    AddUninstallMembers(root, args, kSeconds, "SIGN");
    std::string text = SerializeDocument(root);

    EXPECT_NE(text.find("\"events\":[{\"account\":\"\",\"payload\":{\"uninstall-event\":{\"1700000000000\":{"
                        "\"feedback\":{\"uninstall_email\":\"a@b.c\",\"uninstall_qq\":\"12345\","
                        "\"uninstall_question\":\"q\",\"uninstall_telnumber\":\"555\"},"
                        "\"options\":{\"uninstall-event1\":1,\"uninstall-event2\":3}}}},\"type\":2}]"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"protocol\":5,"), std::string::npos);
    EXPECT_NE(text.find("\"cid\":8,"), std::string::npos);
}

TEST(UninstallDocument, NoOptionsGiveNullAndTenOptionsSortAsText) {
    Json::Value none = BuildBaseDocument(MachineProfile());
    AddUninstallMembers(none, UninstallArguments(), kSeconds, "S");
    EXPECT_NE(SerializeDocument(none).find("\"options\":null"), std::string::npos);

    Json::Value ten = BuildBaseDocument(MachineProfile());
    UninstallArguments args;
    for (int i = 1; i <= 10; ++i)
        args.options.push_back(i * 10);
    AddUninstallMembers(ten, args, kSeconds, "S");
    std::string text = SerializeDocument(ten);
    EXPECT_NE(text.find("\"uninstall-event1\":10,\"uninstall-event10\":100,\"uninstall-event2\":20"),
              std::string::npos);
}

TEST(Documents, NonAsciiTextsBecomeUnicodeEscapes) {
    Json::Value root = BuildBaseDocument(MachineProfile());
    EventArguments args;
    args.ver = L"中文版";
    args.eventId = L"\xD83D\xDE00"; // U+1F600, outside the basic plane: a surrogate pair
    AddEventMembers(root, args, kSeconds, "S");
    std::string text = SerializeDocument(root);

    EXPECT_NE(text.find("\"ver\":\"\\u4e2d\\u6587\\u7248\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"event_id\":\"\\ud83d\\ude00\""), std::string::npos) << text;
    for (char c : text)
        EXPECT_LT(static_cast<unsigned char>(c), 0x80u);
    EXPECT_EQ(Parse(text)["ver"].asString(), u8"中文版");
}

TEST(Signature, TimeTextAndSignedBytes) {
    EXPECT_EQ(TimeText(kSeconds), "1700000000000");
    EXPECT_EQ(TimeText(0), "0");
    EXPECT_EQ(SignatureInput("abc", "12", "1700000000000"), "abc121700000000000zumquerbalt_!*^~");
    EXPECT_EQ(SignatureInput("", "0", "5"), "05zumquerbalt_!*^~");
}
