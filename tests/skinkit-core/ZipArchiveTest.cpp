#include "ZipArchive.h"

#include "ZipBuilder.h"

#include <gtest/gtest.h>

using namespace SkinKit;

namespace {

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void Set32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Offset of the first central directory record of an archive without comment.
size_t FirstDirectoryRecord(const std::vector<uint8_t>& zip) {
    return Get32(zip, zip.size() - 22 + 16);
}

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

const std::string kMarkup = "<Window size=\"500,350\"><Label text=\"hello\"/></Window>";

} // namespace

TEST(ZipArchive, ReadsStoredAndDeflatedEntriesIgnoringCaseAndSlashDirection) {
    std::string big(100000, 'x');
    for (size_t i = 0; i < big.size(); i += 7)
        big[i] = static_cast<char>('a' + i % 26);
    const std::string longName(300, 'n');
    CZipArchive archive; // owns the buffer
    ASSERT_TRUE(archive.Open(BuildZip({{"skin.xml", Bytes(kMarkup), false},
                                       {"images/bg.png", Bytes(big), true},
                                       {"Images/BG.png", Bytes("shadowed"), false},
                                       {longName, Bytes("long"), false}})));
    ASSERT_EQ(4u, archive.Entries().size());

    std::vector<uint8_t> out;
    EXPECT_EQ(ZipResult::Ok, archive.ReadFile("SKIN.XML", out));
    EXPECT_EQ(kMarkup, Text(out));
    EXPECT_EQ(ZipResult::Ok, archive.ReadFile("images\\BG.PNG", out)); // first match in directory order
    EXPECT_EQ(big, Text(out));
    EXPECT_EQ(ZipResult::NotFound, archive.ReadFile("skin.xm", out));
    EXPECT_EQ(ZipResult::NotFound, archive.ReadFile("", out));
    EXPECT_EQ(ZipResult::NotFound, archive.ReadFile(longName.c_str(), out)); // longer than any lookup
    EXPECT_TRUE(out.empty());
}

TEST(ZipArchive, RefusesEmptyAndOversizedEntries) {
    std::vector<uint8_t> tooLarge(kMaxSkinFileSize + 1, ' ');
    std::vector<uint8_t> atLimit(kMaxSkinFileSize, ' ');
    std::vector<uint8_t> zip =
        BuildZip({{"empty.xml", {}, false}, {"huge.xml", tooLarge, true}, {"limit.xml", atLimit, true}});
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(zip.data(), zip.size()));
    std::vector<uint8_t> out;
    EXPECT_EQ(ZipResult::Empty, archive.ReadFile("empty.xml", out));
    EXPECT_EQ(ZipResult::TooLarge, archive.ReadFile("huge.xml", out));
    EXPECT_EQ(ZipResult::Ok, archive.ReadFile("limit.xml", out));
    EXPECT_EQ(kMaxSkinFileSize, out.size());
}

TEST(ZipArchive, FindsEndRecordBeforeAComment) {
    std::vector<uint8_t> zip = BuildZip({{"a.txt", Bytes("abc"), true}});
    const std::string comment = "skin package PK\x05\x06 lookalike";
    zip[zip.size() - 2] = static_cast<uint8_t>(comment.size());
    zip.insert(zip.end(), comment.begin(), comment.end());
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(zip.data(), zip.size()));
    std::vector<uint8_t> out;
    EXPECT_EQ(ZipResult::Ok, archive.ReadFile("a.txt", out));
}

TEST(ZipArchive, RejectsBrokenDirectories) {
    std::vector<uint8_t> zip = BuildZip({{"skin.xml", Bytes(kMarkup), true}});
    CZipArchive archive;
    EXPECT_FALSE(archive.Open(nullptr, 0));
    std::vector<uint8_t> text = Bytes("this is not an archive at all, just some text");
    EXPECT_FALSE(archive.Open(text.data(), text.size()));
    for (size_t cut = 1; cut < zip.size(); ++cut) // every truncation
        EXPECT_FALSE(archive.Open(zip.data(), cut)) << cut;

    std::vector<uint8_t> badOffset = zip;
    Set32(badOffset, badOffset.size() - 22 + 16, 0x7FFFFFF0);
    EXPECT_FALSE(archive.Open(badOffset.data(), badOffset.size()));

    std::vector<uint8_t> badNameLength = zip;
    badNameLength[FirstDirectoryRecord(zip) + 28] = 0xFF;
    EXPECT_FALSE(archive.Open(badNameLength.data(), badNameLength.size()));
    EXPECT_FALSE(archive.IsOpen());
}

TEST(ZipArchive, RejectsCorruptEntryData) {
    std::string payload(5000, 'q');
    for (size_t i = 0; i < payload.size(); i += 3)
        payload[i] = static_cast<char>(i);
    const std::vector<uint8_t> zip = BuildZip({{"skin.xml", Bytes(payload), true}});
    const size_t record = FirstDirectoryRecord(zip);
    const uint32_t compressed = Get32(zip, record + 20);

    struct Damage {
        const char* what;
        size_t at;
        uint32_t value;
    } damages[] = {
        {"stream ends early", record + 20, compressed / 2},
        {"declared size too large", record + 24, static_cast<uint32_t>(payload.size() + 1)},
        {"declared size too small", record + 24, static_cast<uint32_t>(payload.size() - 1)},
        {"wrong checksum", record + 16, Get32(zip, record + 16) ^ 1},
        {"local header past the end", record + 42, static_cast<uint32_t>(zip.size())},
        {"data past the end", record + 20, 0x00FFFFFF},
        {"unknown method", record + 10, 0x0063 | (Get32(zip, record + 12) & 0xFFFF) << 16},
        {"encrypted", record + 8, 0x0001 | (8u << 16)},
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> broken = zip;
        Set32(broken, d.at, d.value);
        CZipArchive archive;
        ASSERT_TRUE(archive.Open(broken.data(), broken.size())) << d.what;
        std::vector<uint8_t> out;
        EXPECT_EQ(ZipResult::BadEntry, archive.ReadFile("skin.xml", out)) << d.what;
        EXPECT_TRUE(out.empty()) << d.what;
    }

    std::vector<uint8_t> garbled = zip;
    for (size_t i = 30 + 8; i < 30 + 8 + compressed && i < garbled.size(); ++i)
        garbled[i] ^= 0x5A;
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(garbled.data(), garbled.size()));
    std::vector<uint8_t> out;
    EXPECT_EQ(ZipResult::BadEntry, archive.ReadFile("skin.xml", out));
}
