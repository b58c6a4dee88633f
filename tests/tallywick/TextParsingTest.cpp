#include "HardwareProfile.h"
#include "NumberText.h"
#include "OptionList.h"
#include "OsVersionCode.h"

#include <gtest/gtest.h>

using namespace Tallywick;

TEST(SplitText, KeepsNonEmptyPiecesInOrder) {
    EXPECT_EQ(SplitText("1,,3", ","), (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(SplitText("4,5,6,7", ","), (std::vector<std::string>{"4", "5", "6", "7"}));
    EXPECT_EQ(SplitText(",a,", ","), (std::vector<std::string>{"a"}));
    EXPECT_EQ(SplitText("ab::cd", "::"), (std::vector<std::string>{"ab", "cd"}));
}

TEST(SplitText, TextWithoutDelimiterGivesNoPieces) {
    EXPECT_TRUE(SplitText("", ",").empty());
    EXPECT_TRUE(SplitText("12", ",").empty());
    EXPECT_TRUE(SplitText(",,", ",").empty());
}

TEST(ParseOptionList, ReadsEachPieceLikeAtoi) {
    // The three option texts "1", "" and "3" joined with commas.
    EXPECT_EQ(ParseOptionList("1,,3"), (std::vector<int>{1, 3}));
    // "4,5", "6" and "7": commas inside a text add options.
    EXPECT_EQ(ParseOptionList("4,5,6,7"), (std::vector<int>{4, 5, 6, 7}));
    EXPECT_EQ(ParseOptionList(" 12x,-2,abc"), (std::vector<int>{12, -2, 0}));
    EXPECT_TRUE(ParseOptionList(",,").empty());
    // The third text empty: the trailing delimiter leaves "2" as a piece.
    EXPECT_EQ(ParseOptionList("1,2,"), (std::vector<int>{1, 2}));
}

TEST(ParseStackInteger, HexOctalAndDecimal) {
    EXPECT_EQ(ParseStackInteger(L"0x1A"), 26);
    EXPECT_EQ(ParseStackInteger(L"0X1a"), 26);
    EXPECT_EQ(ParseStackInteger(L"017"), 15);
    EXPECT_EQ(ParseStackInteger(L"019"), 1); // octal stops at 9
    EXPECT_EQ(ParseStackInteger(L"09"), 9);  // no octal digit after the 0: decimal
}

TEST(ParseStackInteger, SignsGarbageAndEmpty) {
    EXPECT_EQ(ParseStackInteger(L"-12"), -12);
    EXPECT_EQ(ParseStackInteger(L"12abc"), 12);
    EXPECT_EQ(ParseStackInteger(L"abc"), 0);
    EXPECT_EQ(ParseStackInteger(L""), 0);
    EXPECT_EQ(ParseStackInteger(L"0x"), 0);
    EXPECT_EQ(ParseStackInteger(L"0xFFFFFFFF"), -1);
}

TEST(SizeConversion, BytesToMebiAndGibibytes) {
    EXPECT_EQ(MebibytesFromText(L"4294967296"), 4096);
    EXPECT_EQ(GibibytesFromText(L"500105249280"), 465);
    EXPECT_EQ(MebibytesFromText(L"1073741824"), 1024);
    EXPECT_EQ(MebibytesFromText(L""), 0);
    EXPECT_EQ(MebibytesFromText(L"  2097152 bytes"), 2);
    // A negative AdapterRAM (VT_I4 above 2 GiB) shifts arithmetically.
    EXPECT_EQ(MebibytesFromText(L"-2147483648"), -2048);
    // Only the low 32 bits of the result are kept.
    EXPECT_EQ(MebibytesFromText(L"4503599627370496"), 0); // 2^52 bytes = 2^32 MiB
}

TEST(OsVersionCode, TableIncludingTheVistaExceptionAndUnknownVersions) {
    auto code = [](unsigned long major, unsigned long minor, bool workstation, bool r2 = false) {
        OsVersionFacts f;
        f.major = major;
        f.minor = minor;
        f.workstation = workstation;
        f.serverR2 = r2;
        return OsVersionCode(f);
    };
    EXPECT_EQ(code(5, 2, false, true), "5.2.1");
    EXPECT_EQ(code(6, 0, true), "6.0.0"); // Vista: the workstation code ends in 0
    EXPECT_EQ(code(6, 1, true), "6.1.1");
    EXPECT_EQ(code(6, 1, false), "6.1.0");
    EXPECT_EQ(code(10, 0, true), "10.0.1");
    EXPECT_EQ(code(6, 4, true), "");
    EXPECT_EQ(code(10, 1, true), "");
}

TEST(HardwareRecords, FirstInstanceForBoardAndCpuAllForTheRest) {
    HardwareRecords cpus = {{{L"NumberOfCores", L"4"}, {L"ProcessorId", L"ID1"}, {L"Name", L"First"}},
                            {{L"NumberOfCores", L"8"}, {L"Name", L"Second"}}};
    Processor cpu = ProcessorFromRecords(cpus);
    EXPECT_EQ(cpu.cores, 4);
    EXPECT_EQ(cpu.processorId, L"ID1");
    EXPECT_EQ(cpu.name, L"First");

    Processor none = ProcessorFromRecords({});
    EXPECT_EQ(none.cores, 0);
    EXPECT_EQ(none.name, L"");
    EXPECT_EQ(BoardFromRecords({}).serialNumber, L"");

    // A record whose properties could not be read still counts as a module.
    HardwareRecords memory = {{{L"Manufacturer", L"M"}, {L"Capacity", L"4294967296"}}, {}};
    std::vector<MemoryModule> modules = MemoryFromRecords(memory);
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_EQ(modules[0].manufacturer, L"M");
    EXPECT_EQ(modules[0].sizeMiB, 4096);
    EXPECT_EQ(modules[0].serialNumber, L"");
    EXPECT_EQ(modules[1].sizeMiB, 0);

    std::vector<DiskDrive> disks = DisksFromRecords({{{L"Model", L"Disk"}, {L"Size", L"500105249280"}}});
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(disks[0].model, L"Disk");
    EXPECT_EQ(disks[0].sizeGiB, 465);
}
