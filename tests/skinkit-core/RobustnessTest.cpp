// Truncated and randomly mutated inputs must give clean failures, never crashes
// or reads outside the input.
#include "ImageDescription.h"
#include "MarkupParser.h"
#include "ValueSyntax.h"
#include "ZipArchive.h"

#include "ZipBuilder.h"

#include <gtest/gtest.h>

#include <random>

using namespace SkinKit;

namespace {

const char kDocument[] =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<Window size=\"500,350\" caption=\"0,0,0,30\" roundcorner=\"4,4\">\n"
    "  <!-- fonts -->\n"
    "  <Font name=\"\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91\" size=\"12\" default=\"true\"/>\n"
    "  <Default name=\"VScrollBar\" value=\"button1normalimage=&quot;file='a.png'&quot; width=&quot;8&quot;\"/>\n"
    "  <VerticalLayout bkimage=\"file='bg.png' corner='4,4,4,4'\">\n"
    "    <Label name=\"copyLog\" text=\"&lt;ready&gt; &amp; waiting\" font=\"0\"/>\n"
    "    <Progress name=\"progress\" foreimage=\"file='fore.png'\" value=\"37\">text</Progress>\n"
    "  </VerticalLayout>\n"
    "</Window>\n";

// Walks every node and touches every string, so out-of-range links would show.
size_t Walk(const CMarkup& doc) {
    size_t nodes = 0;
    std::vector<CMarkupNode> pending;
    for (CMarkupNode n = doc.GetRoot(); n.IsValid(); n = n.GetSibling())
        pending.push_back(n);
    while (!pending.empty()) {
        CMarkupNode node = pending.back();
        pending.pop_back();
        ++nodes;
        size_t chars = std::wcslen(node.GetName()) + std::wcslen(node.GetValue());
        for (int i = 0; i < node.GetAttributeCount(); ++i) {
            chars += std::wcslen(node.GetAttributeName(i)) + std::wcslen(node.GetAttributeValue(i));
            ParseImageDescription(node.GetAttributeValue(i), L"dest='0,0,1,1'");
            ParseAttributeList(node.GetAttributeValue(i));
            ParseRect(node.GetAttributeValue(i));
        }
        EXPECT_LT(0u, chars + 1);
        for (CMarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling())
            pending.push_back(child);
    }
    return nodes;
}

} // namespace

TEST(Robustness, MarkupSurvivesTruncationAndMutation) {
    const std::string document(kDocument);
    CMarkup doc;
    ASSERT_TRUE(doc.LoadFromBytes(document.data(), document.size())) << doc.GetLastErrorMessage();
    EXPECT_EQ(6u, Walk(doc));

    for (size_t cut = 0; cut < document.size(); ++cut) {
        CMarkup prefix;
        if (!prefix.LoadFromBytes(document.data(), cut)) {
            EXPECT_STRNE(L"", prefix.GetLastErrorMessage()) << cut;
        }
        Walk(prefix);
    }

    std::mt19937 random(12345);
    const char interesting[] = "<>/=\"'&;!?- \n\x80\xE4";
    for (int round = 0; round < 3000; ++round) {
        std::string mutated = document;
        int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits; ++e) {
            size_t at = random() % mutated.size();
            switch (random() % 3) {
            case 0:
                mutated[at] = interesting[random() % (sizeof(interesting) - 1)];
                break;
            case 1:
                mutated.erase(at, 1 + random() % 8);
                break;
            default:
                mutated.insert(at, 1, static_cast<char>(random()));
                break;
            }
            if (mutated.empty())
                mutated = "<";
        }
        CMarkup fuzzed;
        fuzzed.LoadFromBytes(mutated.data(), mutated.size());
        Walk(fuzzed);
    }
}

TEST(Robustness, ZipReaderSurvivesTruncationAndMutation) {
    std::string text(3000, 'z');
    for (size_t i = 0; i < text.size(); i += 5)
        text[i] = static_cast<char>('a' + i % 17);
    const std::vector<uint8_t> zip = BuildZip(
        {{"skin.xml", Bytes(kDocument), true}, {"images/bg.png", Bytes(text), false}, {"c.txt", Bytes(text), true}});

    auto readAll = [](const std::vector<uint8_t>& bytes) {
        CZipArchive archive;
        if (!archive.Open(bytes.data(), bytes.size()))
            return;
        for (const CZipArchive::Entry& entry : archive.Entries()) {
            std::vector<uint8_t> out;
            if (archive.Extract(entry, out) == ZipResult::Ok) {
                EXPECT_EQ(entry.uncompressedSize, out.size());
            }
        }
    };

    for (size_t cut = 0; cut <= zip.size(); ++cut)
        readAll(std::vector<uint8_t>(zip.begin(), zip.begin() + cut));

    std::mt19937 random(777);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> mutated = zip;
        int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            size_t at = random() % mutated.size();
            if (random() % 4 == 0)
                mutated[at] = 0xFF;
            else
                mutated[at] = static_cast<uint8_t>(random());
        }
        readAll(mutated);
    }
}
