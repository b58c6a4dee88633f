// Attribute value syntaxes from arbitrary text: integers, lists, rectangles,
// colours, booleans and attribute-list strings.
#include "MarkupParser.h"
#include "ValueSyntax.h"

#include "FuzzText.h"

#include <cwchar>

using namespace SkinKit;
using FuzzText::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = DecodeUtf8(data, size);
    const wchar_t* begin = text.c_str();
    const size_t length = std::wcslen(begin);

    const wchar_t* end = nullptr;
    ParseInt(begin, &end);
    Check(end >= begin && end <= begin + length, "ParseInt end outside the text");

    int values[9];
    for (int count = 0; count <= 8; ++count) {
        for (int& v : values)
            v = 0x5A5A5A5A;
        const int read = ParseIntList(begin, values, count);
        Check(read >= 0 && read <= count, "ParseIntList count");
        Check(values[count] == 0x5A5A5A5A, "ParseIntList wrote past its array");
    }
    ParseRect(begin);
    ParseSize(begin);
    ParseColor(begin);
    ParseBool(begin);

    for (const auto& pair : ParseAttributeList(begin)) {
        Check(pair.first.find(L'=') == std::wstring::npos, "attribute name holds '='");
        Check(pair.second.find(L'"') == std::wstring::npos, "attribute value holds a quote");
    }
    return 0;
}
