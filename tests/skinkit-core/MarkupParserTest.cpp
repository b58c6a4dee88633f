#include "MarkupParser.h"

#include <gtest/gtest.h>

#include <string>

using namespace SkinKit;

TEST(MarkupParser, BuildsTreeWithAttributesInDocumentOrder) {
    CMarkup doc;
    ASSERT_TRUE(doc.Load(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                         L"<!-- the window -->\n"
                         L"<Window size=\"500,350\" caption=\"0,0,0,30\">\n"
                         L"  <Font name=\"微软雅黑\" size=\"12\" />\n"
                         L"  <!-- body -->\n"
                         L"  <VerticalLayout>\n"
                         L"    <Label name = \"title\"  text=\"hi\"/>\n"
                         L"    <Button/>\n"
                         L"  </VerticalLayout >\n"
                         L"</Window>\n"))
        << doc.GetLastErrorMessage();

    CMarkupNode root = doc.GetRoot();
    ASSERT_TRUE(root.IsValid());
    EXPECT_STREQ(L"Window", root.GetName());
    ASSERT_EQ(2, root.GetAttributeCount());
    EXPECT_STREQ(L"size", root.GetAttributeName(0));
    EXPECT_STREQ(L"0,0,0,30", root.GetAttributeValue(1));
    EXPECT_STREQ(L"500,350", root.GetAttributeValue(L"size"));
    EXPECT_STREQ(L"", root.GetAttributeValue(L"missing"));
    EXPECT_FALSE(root.GetParent().IsValid());

    CMarkupNode font = root.GetChild();
    EXPECT_STREQ(L"Font", font.GetName());
    EXPECT_STREQ(L"微软雅黑", font.GetAttributeValue(L"name"));

    CMarkupNode layout = font.GetSibling();
    EXPECT_STREQ(L"VerticalLayout", layout.GetName());
    EXPECT_FALSE(layout.GetSibling().IsValid());
    EXPECT_EQ(layout.GetName(), root.GetChild(L"VerticalLayout").GetName());

    CMarkupNode label = layout.GetChild();
    EXPECT_STREQ(L"title", label.GetAttributeValue(L"name"));
    EXPECT_STREQ(L"Button", label.GetSibling().GetName());
    EXPECT_STREQ(L"VerticalLayout", label.GetParent().GetName());
    EXPECT_STREQ(L"Window", label.GetParent().GetParent().GetName());

    // An invalid node answers every question harmlessly.
    CMarkupNode none = label.GetSibling().GetSibling();
    EXPECT_FALSE(none.IsValid());
    EXPECT_STREQ(L"", none.GetName());
    EXPECT_FALSE(none.GetChild().IsValid());
}

TEST(MarkupParser, ElementTextSkipsLeadingWhitespace) {
    CMarkup doc;
    ASSERT_TRUE(doc.Load(L"<a>  hello world<b>ignored?</b></a>"));
    EXPECT_STREQ(L"hello world", doc.GetRoot().GetValue());
    EXPECT_STREQ(L"ignored?", doc.GetRoot().GetChild().GetValue());
}

TEST(MarkupParser, ReportsEachErrorAndLeavesDocumentEmpty) {
    struct Case {
        const wchar_t* text;
        const wchar_t* error;
    } cases[] = {
        {L"<Window size='1,2'/>", L"Expected attribute value"},
        {L"<Window size\"1,2\"/>", L"Error while parsing attributes"},
        {L"<Window size=\"1,2/>", L"Error while parsing attribute string"},
        {L"<Window></Windoz>", L"Unmatched closing tag"},
        {L"<Window></Window", L"Unmatched closing tag"},
        {L"<Window></Win>", L"Unmatched closing tag"},
        {L"<Window></WindowX>", L"Unmatched closing tag"},
        {L"<Window><a/> text </Window>", L"Expected end-tag start"},
        {L"<Window><a/>", L"Expected end-tag start"},
        {L"<Window size=\"1\" <", L"Expected start-tag closing"},
        {L"<Window/ >", L"Expected start-tag closing"},
        {L"< Window/>", L"Error parsing element name"},
        {L"<Window><></Window>", L"Error parsing element name"},
        {L"hello <Window/>", L"Expected start tag"},
        {L"<Window/> trailing", L"Expected start tag"},
        {L"", L"Expected start tag"},
        {L"  <!-- only a comment -->  ", L"Expected start tag"},
        {L"<!-- never closed <Window/>", L"Expected start tag"},
        {L"</Window>", L"Expected start tag"},
    };
    for (const Case& c : cases) {
        CMarkup doc;
        EXPECT_FALSE(doc.Load(c.text)) << c.text;
        EXPECT_STREQ(c.error, doc.GetLastErrorMessage()) << c.text;
        EXPECT_FALSE(doc.IsValid()) << c.text;
        EXPECT_FALSE(doc.GetRoot().IsValid()) << c.text;
    }
}

TEST(MarkupParser, DecodesTheFiveEntitiesAndKeepsUnknownOnes) {
    CMarkup doc;
    ASSERT_TRUE(doc.Load(L"<a v=\"&quot;x&quot;\" w=\"&lt;&gt;&amp;&apos;\" u=\"&nbsp;&amp &AMP; &\">"
                         L"1 &lt; 2 &copy;</a>"));
    CMarkupNode a = doc.GetRoot();
    EXPECT_STREQ(L"\"x\"", a.GetAttributeValue(L"v"));
    EXPECT_STREQ(L"<>&'", a.GetAttributeValue(L"w"));
    EXPECT_STREQ(L"&nbsp;&amp &AMP; &", a.GetAttributeValue(L"u"));
    EXPECT_STREQ(L"1 < 2 &copy;", a.GetValue());
}

TEST(MarkupParser, CollapsesSpaceFollowedByWhitespaceOnly) {
    CMarkup doc;
    ASSERT_TRUE(doc.Load(L"<a v=\"x  y\" w=\"x \t\n y\" t=\"x\t\ty\" n=\"x\n  y\" e=\"end  \"/>"));
    CMarkupNode a = doc.GetRoot();
    EXPECT_STREQ(L"x y", a.GetAttributeValue(L"v"));
    EXPECT_STREQ(L"x y", a.GetAttributeValue(L"w"));
    EXPECT_STREQ(L"x\t\ty", a.GetAttributeValue(L"t"));
    EXPECT_STREQ(L"x\n y", a.GetAttributeValue(L"n"));
    EXPECT_STREQ(L"end ", a.GetAttributeValue(L"e"));
}

TEST(MarkupParser, LoadsUtf8WithOrWithoutByteOrderMark) {
    const std::string body = "<Label text=\"\xE7\xAB\x8B\xE5\x8D\xB3\xE8\xBF\x90\xE8\xA1\x8C\"/>"; // 立即运行
    for (const std::string& bytes : {body, std::string("\xEF\xBB\xBF") + body}) {
        CMarkup doc;
        ASSERT_TRUE(doc.LoadFromBytes(bytes.data(), bytes.size())) << doc.GetLastErrorMessage();
        EXPECT_STREQ(L"立即运行", doc.GetRoot().GetAttributeValue(L"text"));
    }
}

TEST(MarkupParser, Utf8DecoderReplacesMalformedSequences) {
    // An overlong "/", a lone continuation byte, an encoded surrogate and a
    // truncated sequence at the end; a four-byte character becomes a pair.
    const std::string bytes = "a\xC0\xAF"
                              "b\x80"
                              "c\xED\xA0\x80"
                              "d\xF0\x9F\x98\x80"
                              "e\xE4\xB8";
    std::wstring text = DecodeUtf8(bytes.data(), bytes.size());
    EXPECT_EQ(std::wstring(L"a\xFFFD\xFFFD"
                           L"b\xFFFD"
                           L"c\xFFFD"
                           L"d\xD83D\xDE00"
                           L"e\xFFFD"),
              text);
}

TEST(MarkupParser, BoundsNestingDepth) {
    const int allowed = CMarkup::kMaxDepth;
    std::wstring ok;
    for (int i = 0; i < allowed; ++i)
        ok += L"<a>";
    for (int i = 0; i < allowed; ++i)
        ok += L"</a>";
    CMarkup doc;
    EXPECT_TRUE(doc.Load(ok.c_str())) << doc.GetLastErrorMessage();

    std::wstring deep;
    for (int i = 0; i < 100000; ++i)
        deep += L"<a>";
    EXPECT_FALSE(doc.Load(deep.c_str()));
    EXPECT_FALSE(doc.IsValid());
}

TEST(MarkupParser, StopsAtFirstZeroCharacterAndKeepsLoaderErrors) {
    const wchar_t text[] = L"<a/>\0garbage";
    CMarkup doc;
    EXPECT_TRUE(doc.Load(text, sizeof(text) / sizeof(text[0]) - 1));

    doc.SetError(L"File too large");
    EXPECT_FALSE(doc.IsValid());
    EXPECT_STREQ(L"File too large", doc.GetLastErrorMessage());
}
